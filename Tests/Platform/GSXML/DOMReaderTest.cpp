#include "DOMReader.hpp"
#include "TempFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

namespace {

using GSXML::DOMReader;
using GSXML::GetTextContent;
using GSXML::ToUniString;
using GSXML::XMLText;

class DOMReaderTest : public ::testing::Test {
protected:
    IO::Location Write(const std::string& name, const std::string& bytes) {
        QuillmarTest::WriteFile(folder / name, bytes);
        return IO::Location::FromFileSystemPath(folder / name);
    }

    bool Accepted(const std::string& bytes) {
        return DOMReader(Write("doc.xml", bytes), "R").GetActualNode() != nullptr;
    }

    QuillmarTest::TempFolder folder;
};

// `levels` nested elements, the innermost holding `inner`.
std::string Nested(std::size_t levels, const std::string& inner) {
    std::string xml;
    xml.reserve(levels * 7 + inner.size());
    for (std::size_t i = 0; i < levels; ++i)
        xml += "<e>";
    xml += inner;
    for (std::size_t i = 0; i < levels; ++i)
        xml += "</e>";
    return xml;
}

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

// The tree as text, "name(children)" with texts quoted; "!" marks a child whose parent link is not its parent.
std::string Shape(const xercesc::DOMNode& node) {
    if (node.getNodeType() == xercesc::DOMNode::TEXT_NODE)
        return "'" + ToUniString(node.getNodeValue()).ToCStr(CC_UTF8).ToString() + "'";
    std::string shape = ToUniString(node.getNodeName()).ToCStr(CC_UTF8).ToString();
    const xercesc::DOMNode* child = node.getFirstChild();
    if (child == nullptr) return shape;
    shape += "(";
    for (; child != nullptr; child = child->getNextSibling()) {
        if (child->getParentNode() != &node) shape += "!";
        shape += Shape(*child);
        if (child->getNextSibling() != nullptr) shape += ",";
    }
    return shape + ")";
}

TEST_F(DOMReaderTest, EachNodeLandsUnderItsParentAfterEmptyNestedAndClosedElements) {
    const DOMReader reader(Write("tree.xml", "<R><A/><B><C/><D>t</D><E><F/></E></B>after<G/><H>x<I/>y</H></R>"), "R");
    const xercesc::DOMElement* root = reader.GetActualNode();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Shape(*root), "R(A,B(C,D('t'),E(F)),'after',G,H('x',I,'y'))");
    EXPECT_EQ(root->getParentNode(), root->getOwnerDocument());
}

TEST_F(DOMReaderTest, IndentationMakesNoNodesButWhitespaceValuesStay) {
    const DOMReader reader(Write("indented.xml", "<R>\n  <A> </A>\n  <B>\t<C/>\r\n  </B>\n  <D> x <E/> </D>\n"
                                                 "  <F><![CDATA[ ]]></F>\n  <G> <!-- c --> </G>\n</R>\n"),
                           "R");
    xercesc::DOMElement* root = reader.GetActualNode();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->getChildNodes()->getLength(), 5u) << "the five elements, no text between them";
    const auto child = [root](const char* name) {
        return static_cast<xercesc::DOMElement*>(root->getElementsByTagName(XMLText(name))->item(0));
    };
    EXPECT_EQ(GetTextContent(*child("A")), " ") << "whitespace that is an element's whole text is its value";
    EXPECT_EQ(child("B")->getChildNodes()->getLength(), 1u) << "around a child it is indentation";
    EXPECT_EQ(GetTextContent(*child("D")), " x ") << "text beside a child keeps its spaces";
    EXPECT_EQ(GetTextContent(*child("F")), " ") << "CDATA is kept as written";
    EXPECT_EQ(GetTextContent(*child("G")), "  ") << "a comment in between is dropped, its neighbours joined";
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

TEST_F(DOMReaderTest, LegacyEncodingsAreDecoded) {
    // "\u0161" is 0x9A in windows-1250 and 0xB9 in ISO-8859-2; "\u010d" is 0xE8 in both.
    for (const auto& [encoding, sCaron] : {std::pair{"windows-1250", "\x9a"}, std::pair{"ISO-8859-2", "\xb9"}}) {
        const DOMReader reader(Write("legacy.xml", std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
                                                       "\"?><R a=\"" + sCaron + "\">\xe8</R>"),
                               "R");
        ASSERT_NE(reader.GetActualNode(), nullptr) << encoding;
        EXPECT_EQ(ToUniString(reader.GetActualNode()->getAttribute(XMLText("a"))), GS::UniString(u"\u0161"))
            << encoding;
        EXPECT_EQ(GetTextContent(*reader.GetActualNode()), GS::UniString(u"\u010d")) << encoding;
    }
}

TEST_F(DOMReaderTest, NonAsciiFileNameIsRead) {
    const GSXML::DOMReader reader(Write("Zuordnung \xC3\xBC.xml", "<R/>"), "R");
    EXPECT_TRUE(reader.HasExpectedRoot());
}

TEST_F(DOMReaderTest, MissingEmptyOrMalformedFilesGiveNoRoot) {
    EXPECT_EQ(GSXML::DOMReader(IO::Location::FromFileSystemPath(folder / "absent.xml"), "R").GetActualNode(), nullptr);
    EXPECT_EQ(GSXML::DOMReader(IO::Location(), "R").GetActualNode(), nullptr);
    EXPECT_EQ(GSXML::DOMReader(IO::Location::FromFileSystemPath(folder.Path()), "R").GetActualNode(), nullptr)
        << "a folder is no file";
    EXPECT_EQ(GSXML::DOMReader(Write("empty.xml", ""), "R").GetActualNode(), nullptr);
    EXPECT_EQ(GSXML::DOMReader(Write("open.xml", "<R><A></R>"), "R").GetActualNode(), nullptr);
    EXPECT_EQ(GSXML::DOMReader(Write("two.xml", "<R/><R/>"), "R").GetActualNode(), nullptr);
    EXPECT_EQ(GSXML::DOMReader(Write("text.xml", "not xml at all"), "R").GetActualNode(), nullptr);
    EXPECT_FALSE(GSXML::DOMReader(Write("open2.xml", "<R>"), "R").HasExpectedRoot());
}

TEST_F(DOMReaderTest, DocumentTypeWithoutEntitiesOrExternalSubsetIsAccepted) {
    EXPECT_TRUE(Accepted("<!DOCTYPE R><R/>"));
    EXPECT_TRUE(Accepted("<?xml version=\"1.0\"?>\n<!DOCTYPE R [ ]>\n<R/>"));
    EXPECT_TRUE(Accepted("<!DOCTYPE Other><R/>")) << "nothing is validated";
    const DOMReader reader(Write("subset.xml", "<!DOCTYPE R [<!ELEMENT R (#PCDATA)><!ATTLIST R a CDATA \"given\">"
                                               "<!-- note --><?pi data?>]><R>x &amp; &#x41;</R>"),
                           "R");
    ASSERT_TRUE(reader.HasExpectedRoot());
    EXPECT_EQ(GetTextContent(*reader.GetActualNode()), "x & A") << "predefined entities and references still work";
    EXPECT_EQ(ToUniString(reader.GetActualNode()->getAttribute(XMLText("a"))), "given");
}

TEST_F(DOMReaderTest, EntitiesAndExternalDefinitionsAreRefusedAndNothingIsFetched) {
    const std::filesystem::path secret = folder / "secret.txt";
    QuillmarTest::WriteFile(secret, "SECRET");
    const std::filesystem::path dtd = folder / "r.dtd";
    QuillmarTest::WriteFile(dtd, "<!ATTLIST R a CDATA \"fetched\">");
    const std::string laughs = "<!DOCTYPE R [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                               "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d "
                               "\"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]><R>&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;</R>";
    const std::string refused[] = {
        "<!DOCTYPE R [<!ENTITY x SYSTEM \"file://" + secret.string() + "\">]><R>&x;</R>",
        "<!DOCTYPE R SYSTEM \"file://" + dtd.string() + "\"><R/>",
        "<!DOCTYPE R SYSTEM \"http://127.0.0.1:1/r.dtd\"><R/>",
        "<!DOCTYPE R PUBLIC \"-//Q//R//EN\" \"r.dtd\"><R/>",
        laughs,
        "<!DOCTYPE R [<!ENTITY unused \"x\">]><R/>",
        "<!DOCTYPE R [<!ENTITY amp \"&#38;#38;\">]><R/>",
        "<!DOCTYPE R [<!ENTITY % p \"<!ELEMENT R ANY>\"> %p;]><R/>",
        "<!DOCTYPE R [<!ENTITY % p SYSTEM \"file://" + dtd.string() + "\"> %p;]><R/>",
        "<!DOCTYPE R [ ]><R>&undeclared;</R>",
        "<R>&undeclared;</R>",
    };
    for (const std::string& xml : refused)
        EXPECT_FALSE(Accepted(xml)) << xml;
}

TEST_F(DOMReaderTest, DocumentsNestedDeeperThanTheLimitAreRefused) {
    // Empty elements end without an end tag: several at the deepest level must not count as deeper.
    const DOMReader atLimit(Write("limit.xml", Nested(DOMReader::MaxDepth - 1, "<e/><e>t</e><e/>")), "e");
    ASSERT_NE(atLimit.GetActualNode(), nullptr);
    EXPECT_EQ(GetTextContent(*atLimit.GetActualNode()), "t");
    EXPECT_FALSE(Accepted(Nested(DOMReader::MaxDepth, "<e/>")));
    EXPECT_FALSE(Accepted(Nested(DOMReader::MaxDepth + 1, "text")));
    EXPECT_FALSE(Accepted(Nested(200000, "text")));
}

TEST_F(DOMReaderTest, FilesLargerThanTheLimitAreRefused) {
    // Spaces after the root element fill the file without growing the document.
    const std::string root = "<R/>";
    std::string xml = root + std::string(DOMReader::MaxFileSize - root.size(), ' ');
    EXPECT_TRUE(Accepted(xml));
    xml += ' ';
    EXPECT_FALSE(Accepted(xml));
}

TEST_F(DOMReaderTest, TextContentIsGatheredWithoutRecursion) {
    const DOMReader reader(Write("text.xml", "<R a=\"v\">a<!--c-->b<?pi x?><![CDATA[<c>]]><X>d<Y>e</Y><Z/></X>f</R>"),
                           "R");
    xercesc::DOMElement* root = reader.GetActualNode();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(GetTextContent(*root), "ab<c>def");
    EXPECT_EQ(GetTextContent(*root), ToUniString(root->getTextContent())) << "as the DOM defines it";
    EXPECT_EQ(GetTextContent(*root->getFirstChild()), "ab") << "the comment between them makes no node";
    EXPECT_EQ(GetTextContent(*root->getAttributeNode(XMLText("a"))), "v");
    EXPECT_EQ(GetTextContent(*root->getLastElementChild()->getLastElementChild()), "");
    EXPECT_EQ(GetTextContent(*root->getOwnerDocument()), "");

    // Far deeper than any parsed document may be, so Xerces' own recursion would overflow the stack; built from
    // the inside out because appending below a deep parent checks all its ancestors.
    xercesc::DOMDocument* document = root->getOwnerDocument();
    xercesc::DOMNode* chain = document->createTextNode(XMLText("deep"));
    for (int level = 0; level < 200000; ++level) {
        xercesc::DOMElement* wrapper = document->createElement(XMLText("w"));
        wrapper->appendChild(chain);
        chain = wrapper;
    }
    root->appendChild(chain);
    root->appendChild(document->createTextNode(XMLText("!")));
    EXPECT_EQ(GetTextContent(*root), "ab<c>defdeep!");
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
