#include "DOMReader.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using GSXML::ToUniString;
using GSXML::XMLText;

class DOMReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            std::filesystem::temp_directory_path() / ("gsxml-test-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    IO::Location Write(const std::string& name, const std::string& bytes) {
        const std::filesystem::path path = folder / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return IO::Location::FromFileSystemPath(path);
    }

    std::filesystem::path folder;
};

TEST_F(DOMReaderTest, GivesTheRootElementWithItsAttributesAndChildren) {
    const IO::Location file = Write("a.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<SchemeItemList version="2"><!-- note --><Item id="1">one</Item>text<Item id="2"><Deep>two</Deep></Item></SchemeItemList>)");
    const GSXML::DOMReader reader(file, "SchemeItemList");
    xercesc::DOMElement* root = reader.GetActualNode();
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(reader.HasExpectedRoot());
    EXPECT_EQ(ToUniString(root->getTagName()), "SchemeItemList");
    EXPECT_EQ(ToUniString(root->getAttribute(XMLText("version"))), "2");
    EXPECT_EQ(ToUniString(root->getAttribute(XMLText("missing"))), "") << "a missing attribute reads as empty";
    EXPECT_EQ(root->getChildElementCount(), 2u) << "comments and text are no elements";
    xercesc::DOMElement* second = root->getLastElementChild();
    EXPECT_EQ(ToUniString(second->getAttribute(XMLText("id"))), "2");
    EXPECT_EQ(ToUniString(second->getTextContent()), "two") << "text content gathers the text below";
    xercesc::DOMNode* deep = root->getElementsByTagName(XMLText("Deep"))->item(0);
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(ToUniString(deep->getTextContent()), "two");
}

TEST_F(DOMReaderTest, OtherRootIsGivenButNotExpected) {
    const GSXML::DOMReader reader(Write("b.xml", "<Other/>"), "SchemeItemList");
    ASSERT_NE(reader.GetActualNode(), nullptr);
    EXPECT_EQ(ToUniString(reader.GetActualNode()->getTagName()), "Other");
    EXPECT_FALSE(reader.HasExpectedRoot());
}

TEST_F(DOMReaderTest, NonAsciiTextAndNamesSurviveBothWays) {
    // UTF-8 bytes of "Wärme€", a character beyond the BMP and a name with an umlaut.
    const IO::Location file = Write("c.xml", "<R Name=\"W\xC3\xA4rme\xE2\x82\xAC\"><Gr\xC3\xB6\xC3\x9F"
                                             "e>\xF0\x9F\x8F\xA0</Gr\xC3\xB6\xC3\x9F"
                                             "e></R>");
    const GSXML::DOMReader reader(file, "R");
    ASSERT_NE(reader.GetActualNode(), nullptr);
    EXPECT_EQ(ToUniString(reader.GetActualNode()->getAttribute(XMLText("Name"))), GS::UniString(u"W\u00e4rme\u20ac"));
    xercesc::DOMNode* size =
        reader.GetActualNode()->getElementsByTagName(XMLText(GS::UniString(u"Gr\u00f6\u00dfe")))->item(0);
    ASSERT_NE(size, nullptr) << "names are looked up through the UTF-16 helper";
    EXPECT_EQ(ToUniString(size->getTextContent()), GS::UniString(u"\U0001F3E0"));
}

TEST_F(DOMReaderTest, NonAsciiFileNameIsRead) {
    const GSXML::DOMReader reader(Write("Zuordnung \xC3\xBC.xml", "<R/>"), "R");
    EXPECT_TRUE(reader.HasExpectedRoot());
}

TEST_F(DOMReaderTest, MissingEmptyOrMalformedFilesGiveNoRoot) {
    EXPECT_EQ(GSXML::DOMReader(IO::Location::FromFileSystemPath(folder / "absent.xml"), "R").GetActualNode(), nullptr);
    EXPECT_EQ(GSXML::DOMReader(IO::Location(), "R").GetActualNode(), nullptr);
    EXPECT_EQ(GSXML::DOMReader(IO::Location::FromFileSystemPath(folder), "R").GetActualNode(), nullptr)
        << "a folder is no file";
    EXPECT_EQ(GSXML::DOMReader(Write("empty.xml", ""), "R").GetActualNode(), nullptr);
    EXPECT_EQ(GSXML::DOMReader(Write("open.xml", "<R><A></R>"), "R").GetActualNode(), nullptr);
    EXPECT_EQ(GSXML::DOMReader(Write("two.xml", "<R/><R/>"), "R").GetActualNode(), nullptr);
    EXPECT_EQ(GSXML::DOMReader(Write("text.xml", "not xml at all"), "R").GetActualNode(), nullptr);
    EXPECT_FALSE(GSXML::DOMReader(Write("open2.xml", "<R>"), "R").HasExpectedRoot());
}

TEST_F(DOMReaderTest, DoctypeIsRefusedAndNothingExternalIsFetched) {
    const std::filesystem::path secret = folder / "secret.txt";
    std::ofstream(secret) << "SECRET";
    const std::string external =
        "<?xml version=\"1.0\"?><!DOCTYPE R [<!ENTITY x SYSTEM \"file://" + secret.string() + "\">]><R>&x;</R>";
    EXPECT_EQ(GSXML::DOMReader(Write("ext.xml", external), "R").GetActualNode(), nullptr);
    EXPECT_EQ(
        GSXML::DOMReader(Write("dtd.xml", "<!DOCTYPE R SYSTEM \"http://127.0.0.1:1/r.dtd\"><R/>"), "R").GetActualNode(),
        nullptr);
    const std::string laughs = "<!DOCTYPE R [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                               "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d "
                               "\"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]><R>&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;</R>";
    EXPECT_EQ(GSXML::DOMReader(Write("laughs.xml", laughs), "R").GetActualNode(), nullptr);
}

TEST_F(DOMReaderTest, ReadersAreIndependent) {
    const GSXML::DOMReader first(Write("1.xml", "<A x=\"1\"/>"), "A");
    {
        const GSXML::DOMReader second(Write("2.xml", "<B/>"), "B");
        EXPECT_TRUE(second.HasExpectedRoot());
    }
    ASSERT_NE(first.GetActualNode(), nullptr);
    EXPECT_EQ(ToUniString(first.GetActualNode()->getAttribute(XMLText("x"))), "1")
        << "a reader's document outlives other readers";
}

TEST(XMLTextHelpers, CopyUnitsBothWays) {
    EXPECT_EQ(ToUniString(nullptr), "");
    const GS::UniString text(u"\u00c4\U0001F3E0x");
    const XMLText xml(text);
    EXPECT_EQ(std::u16string(xml.Get()), text.ToU16String());
    EXPECT_EQ(ToUniString(xml), text);
    EXPECT_EQ(std::u16string(XMLText("").Get()), u"");
}

} // namespace
