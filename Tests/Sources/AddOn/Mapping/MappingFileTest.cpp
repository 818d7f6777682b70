#include "Mapping/MappingFile.hpp"

#include "DOMReader.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using List = GS::Array<SchemeProperty>;

// One complete "SchemeProperty" element; `inner` replaces the part after the attributes when given.
std::string Scheme(const std::string& entity, const std::string& pset, const std::string& name,
                   const std::string& kindElement = "<TypePropertySingleValue/>",
                   const std::string& dataType = "IfcLabel") {
    return "<SchemeProperty IFCEntityType=\"" + entity + "\" PropertySetName=\"" + pset + "\">" +
           "<ACPropertyValue PropertyDefinitionGroupName=\"Group\" PropertyDefinitionName=\"Def " + name + "\"/>" +
           "<PropertyDef><Name>" + name + "</Name><PropertyType>" + kindElement + "</PropertyType><DataType type=\"" +
           dataType + "\"/></PropertyDef></SchemeProperty>";
}

std::string Root(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SchemeItemList>" + body + "</SchemeItemList>";
}

// A complete file whose one Name element holds `levels` nested elements around the text "deep"; the innermost is
// at level 4 + `levels` (the root, SchemeProperty, PropertyDef and Name above).
std::string DeepName(std::size_t levels) {
    std::string scheme = Scheme("E", "P", "n");
    const std::string name = "<Name>n</Name>";
    std::string nested = "<Name>";
    nested.reserve(levels * 7 + 16);
    for (std::size_t i = 0; i < levels; ++i)
        nested += "<b>";
    nested += "deep";
    for (std::size_t i = 0; i < levels; ++i)
        nested += "</b>";
    nested += "</Name>";
    return Root(scheme.replace(scheme.find(name), name.size(), nested));
}

class MappingFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "mapping-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    IO::Location Write(const std::string& bytes) {
        const std::filesystem::path path = folder / ("map" + std::to_string(++files) + ".xml");
        std::ofstream(path, std::ios::binary) << bytes;
        return IO::Location::FromFileSystemPath(path);
    }

    // Loads `xml` into a fresh list and expects it to be a mapping file.
    List Load(const std::string& xml) {
        List list;
        EXPECT_TRUE(ReadMappingFile(Write(xml), list));
        return list;
    }

    std::filesystem::path folder;
    int files = 0;
};

TEST_F(MappingFileTest, ReadsEveryFieldOfAProperty) {
    const List list =
        Load(Root(Scheme("IfcWall", "Pset_Quillmar", "FireRating", "<TypePropertySingleValue/>", "IfcLabel")));
    ASSERT_EQ(list.GetSize(), 1u);
    EXPECT_EQ(list[0].ifcEntityType, "IfcWall");
    EXPECT_EQ(list[0].propertySetName, "Pset_Quillmar");
    ASSERT_EQ(list[0].properties->GetSize(), 1u);
    const PropertyMapData& data = (*list[0].properties)[0];
    EXPECT_EQ(data.propertyDefinitionGroupName, "Group");
    EXPECT_EQ(data.propertyDefinitionName, "Def FireRating");
    EXPECT_EQ(data.name, "FireRating");
    EXPECT_EQ(data.dataType, "IfcLabel");
    EXPECT_EQ(data.propertyKind, PropertyKind::SingleValue);
}

TEST_F(MappingFileTest, KindFollowsTheFirstOfTheFiveNamesAmongDirectChildren) {
    const List list =
        Load(Root(Scheme("E", "P", "single", "<TypePropertySingleValue/>") +
                  Scheme("E", "P", "enumerated", "<TypePropertyEnumeratedValue><x/></TypePropertyEnumeratedValue>") +
                  Scheme("E", "P", "bounded", "<TypePropertyBoundedValue/>") +
                  Scheme("E", "P", "list", "<Other/><TypePropertyListValue/>") +
                  Scheme("E", "P", "table", "text<!--c--><TypePropertyTableValue/><TypePropertySingleValue/>") +
                  Scheme("E", "P", "nested", "<Wrap><TypePropertySingleValue/></Wrap><TypePropertyBoundedValue/>")));
    ASSERT_EQ(list.GetSize(), 1u);
    const auto& props = *list[0].properties;
    ASSERT_EQ(props.GetSize(), 6u);
    const UInt32 expected[] = {0, 1, 2, 3, 4, 2};
    for (UIndex i = 0; i < 6; ++i)
        EXPECT_EQ(static_cast<UInt32>(props[i].propertyKind), expected[i]) << props[i].name.ToCStr().Get();
}

TEST_F(MappingFileTest, SamePairIsMergedInFileOrderOtherPairsGetTheirOwnEntries) {
    const List list =
        Load(Root(Scheme("IfcWall", "A", "one") + Scheme("IfcWall", "B", "two") + Scheme("IfcSlab", "A", "three") +
                  Scheme("IfcWall", "A", "four") + Scheme("ifcwall", "A", "five")));
    ASSERT_EQ(list.GetSize(), 4u) << "comparison is case-sensitive";
    EXPECT_EQ(list[0].ifcEntityType, "IfcWall");
    EXPECT_EQ(list[0].propertySetName, "A");
    ASSERT_EQ(list[0].properties->GetSize(), 2u);
    EXPECT_EQ((*list[0].properties)[0].name, "one");
    EXPECT_EQ((*list[0].properties)[1].name, "four");
    EXPECT_EQ(list[1].propertySetName, "B");
    EXPECT_EQ(list[2].ifcEntityType, "IfcSlab");
    EXPECT_EQ(list[3].ifcEntityType, "ifcwall");
}

TEST_F(MappingFileTest, PairsAreNotConfusedWhenTheirTextsRunTogether) {
    const List list = Load(Root(Scheme("AB", "C", "x") + Scheme("A", "BC", "y")));
    EXPECT_EQ(list.GetSize(), 2u);
}

TEST_F(MappingFileTest, EachMissingPartSkipsOnlyItsElement) {
    const std::string good = Scheme("E", "P", "kept");
    const std::string body =
        good + "<SchemeProperty PropertySetName=\"P\">" + Scheme("x", "y", "z").substr(0) + "</SchemeProperty>" +
        "<SchemeProperty IFCEntityType=\"E\" PropertySetName=\"\"><ACPropertyValue/><PropertyDef><Name>n</Name>"
        "<PropertyType><TypePropertySingleValue/></PropertyType><DataType type=\"t\"/></PropertyDef></SchemeProperty>" +
        // no ACPropertyValue
        "<SchemeProperty IFCEntityType=\"E\" PropertySetName=\"P\"><PropertyDef><Name>n</Name><PropertyType>"
        "<TypePropertySingleValue/></PropertyType><DataType type=\"t\"/></PropertyDef></SchemeProperty>" +
        // no PropertyDef
        "<SchemeProperty IFCEntityType=\"E\" PropertySetName=\"P\"><ACPropertyValue/><Name>n</Name><PropertyType>"
        "<TypePropertySingleValue/></PropertyType><DataType type=\"t\"/></SchemeProperty>" +
        // no Name below PropertyDef, though one beside it
        "<SchemeProperty IFCEntityType=\"E\" PropertySetName=\"P\"><ACPropertyValue/><Name>n</Name><PropertyDef>"
        "<PropertyType><TypePropertySingleValue/></PropertyType><DataType type=\"t\"/></PropertyDef></SchemeProperty>" +
        // no PropertyType
        "<SchemeProperty IFCEntityType=\"E\" PropertySetName=\"P\"><ACPropertyValue/><PropertyDef><Name>n</Name>"
        "<DataType type=\"t\"/></PropertyDef></SchemeProperty>" +
        // PropertyType without child nodes
        Scheme("E", "P", "empty", "") +
        // PropertyType with text only
        Scheme("E", "P", "textonly", "TypePropertySingleValue") +
        // only names that contain TypeProperty but are none of the five
        Scheme("E", "P", "lookalike", "<TypePropertySingleValues/><MyTypePropertyListValue/><typepropertylistvalue/>") +
        // no DataType
        "<SchemeProperty IFCEntityType=\"E\" PropertySetName=\"P\"><ACPropertyValue/><PropertyDef><Name>n</Name>"
        "<PropertyType><TypePropertySingleValue/></PropertyType></PropertyDef></SchemeProperty>" +
        good;
    const List list = Load(Root(body));
    ASSERT_EQ(list.GetSize(), 1u);
    ASSERT_EQ(list[0].properties->GetSize(), 2u) << "only the two complete elements";
    EXPECT_EQ((*list[0].properties)[0].name, "kept");
    EXPECT_EQ((*list[0].properties)[1].name, "kept");
}

TEST_F(MappingFileTest, MissingOptionalAttributesReadAsEmpty) {
    const List list =
        Load(Root("<SchemeProperty IFCEntityType=\"E\" PropertySetName=\"P\"><ACPropertyValue/><PropertyDef><Name/>"
                  "<PropertyType><TypePropertySingleValue/></PropertyType><DataType/></PropertyDef></SchemeProperty>"));
    ASSERT_EQ(list.GetSize(), 1u);
    const PropertyMapData& data = (*list[0].properties)[0];
    EXPECT_EQ(data.propertyDefinitionGroupName, "");
    EXPECT_EQ(data.propertyDefinitionName, "");
    EXPECT_EQ(data.name, "") << "an empty Name element still counts";
    EXPECT_EQ(data.dataType, "");
}

TEST_F(MappingFileTest, DescendantsAreTheFirstInDocumentOrderAtAnyDepth) {
    const List list =
        Load(Root("<SchemeProperty IFCEntityType=\"E\" PropertySetName=\"P\">"
                  "<Deep><ACPropertyValue PropertyDefinitionName=\"first\"/></Deep><ACPropertyValue "
                  "PropertyDefinitionName=\"second\"/>"
                  "<PropertyDef><Wrap><Inner><Name>deep <b>and</b> bold</Name></Inner></Wrap><Name>shallow</Name>"
                  "<PropertyType><TypePropertyListValue/></PropertyType><DataType type=\"IfcReal\"/>"
                  "<DataType type=\"IfcInteger\"/></PropertyDef></SchemeProperty>"));
    ASSERT_EQ(list.GetSize(), 1u);
    const PropertyMapData& data = (*list[0].properties)[0];
    EXPECT_EQ(data.propertyDefinitionName, "first");
    EXPECT_EQ(data.name, "deep and bold") << "the first Name in document order, all text below it";
    EXPECT_EQ(data.dataType, "IfcReal");
    EXPECT_EQ(data.propertyKind, PropertyKind::ListValue);
}

TEST_F(MappingFileTest, OnlyDirectSchemePropertyChildrenOfTheRootCount) {
    const List list = Load(Root("text<!-- c --><Other>" + Scheme("Nested", "P", "n") + "</Other>" +
                                Scheme("E", "P", "direct") + "<schemeproperty IFCEntityType=\"X\"/>"));
    ASSERT_EQ(list.GetSize(), 1u);
    EXPECT_EQ(list[0].ifcEntityType, "E");
}

TEST_F(MappingFileTest, ReferencesInAttributeValuesAndTextsAreResolved) {
    const List list = Load(
        Root(Scheme("Ifc&#87;all", "A&amp;B &#x20AC; &lt;x&gt;", "a &amp; b &#99;", "<TypePropertySingleValue/>", "")));
    ASSERT_EQ(list.GetSize(), 1u);
    EXPECT_EQ(list[0].ifcEntityType, "IfcWall");
    EXPECT_EQ(list[0].propertySetName, GS::UniString(u"A&B \u20ac <x>"));
    const PropertyMapData& data = (*list[0].properties)[0];
    EXPECT_EQ(data.name, "a & b c");
    EXPECT_EQ(data.propertyDefinitionName, "Def a & b c");
    EXPECT_EQ(data.dataType, "") << "an attribute given as empty";
}

TEST_F(MappingFileTest, NonAsciiTextsAreKept) {
    const List list = Load(Root(Scheme("IfcWall", "Pset_W\xC3\xA4rme", "\xE2\x82\xAC-Wert")));
    ASSERT_EQ(list.GetSize(), 1u);
    EXPECT_EQ(list[0].propertySetName, GS::UniString(u"Pset_W\u00e4rme"));
    EXPECT_EQ((*list[0].properties)[0].name, GS::UniString(u"\u20ac-Wert"));
}

TEST_F(MappingFileTest, WrongRootMissingOrMalformedFileLeavesTheListAlone) {
    List list;
    ASSERT_TRUE(ReadMappingFile(Write(Root(Scheme("IfcWall", "A", "kept"))), list));
    const std::string notMapping[] = {
        "<SchemeItemLists>" + Scheme("E", "P", "n") + "</SchemeItemLists>",
        "<schemeitemlist>" + Scheme("E", "P", "n") + "</schemeitemlist>",
        Root(Scheme("E", "P", "n")).substr(0, 80),
        "",
        DeepName(GSXML::DOMReader::MaxDepth - 3), // one level too deep
        DeepName(200000),
        "<!DOCTYPE SchemeItemList [<!ENTITY n \"name\">]><SchemeItemList>" + Scheme("E", "P", "&n;") +
            "</SchemeItemList>",
        "<!DOCTYPE SchemeItemList SYSTEM \"mapping.dtd\"><SchemeItemList>" + Scheme("E", "P", "n") +
            "</SchemeItemList>",
    };
    for (const std::string& xml : notMapping)
        EXPECT_FALSE(ReadMappingFile(Write(xml), list)) << xml.substr(0, 200);
    EXPECT_FALSE(ReadMappingFile(IO::Location::FromFileSystemPath(folder / "absent.xml"), list));
    ASSERT_EQ(list.GetSize(), 1u);
    EXPECT_EQ((*list[0].properties)[0].name, "kept");
}

TEST_F(MappingFileTest, DeepNameAtTheLimitAndPlainDocumentTypesAreRead) {
    const List deep = Load(DeepName(GSXML::DOMReader::MaxDepth - 4));
    ASSERT_EQ(deep.GetSize(), 1u);
    EXPECT_EQ((*deep[0].properties)[0].name, "deep");

    const std::string body = Scheme("IfcWall", "P", "typed");
    for (const std::string& doctype :
         {std::string("<!DOCTYPE SchemeItemList>"),
          std::string("<!DOCTYPE SchemeItemList [<!ELEMENT SchemeItemList ANY><!-- exported -->]>")}) {
        const List list = Load("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + doctype + "<SchemeItemList>" + body +
                               "</SchemeItemList>");
        ASSERT_EQ(list.GetSize(), 1u) << doctype;
        EXPECT_EQ((*list[0].properties)[0].name, "typed");
    }
}

TEST_F(MappingFileTest, RightRootReplacesTheWholeListEvenWithNothingUsable) {
    List list;
    ASSERT_TRUE(ReadMappingFile(Write(Root(Scheme("IfcWall", "A", "one") + Scheme("IfcSlab", "B", "two"))), list));
    ASSERT_TRUE(ReadMappingFile(Write(Root(Scheme("IfcWall", "A", "three"))), list));
    ASSERT_EQ(list.GetSize(), 1u) << "a second file replaces the first entirely";
    ASSERT_EQ(list[0].properties->GetSize(), 1u);
    EXPECT_EQ((*list[0].properties)[0].name, "three");
    EXPECT_TRUE(ReadMappingFile(Write(Root("<SchemeProperty/>")), list));
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_TRUE(ReadMappingFile(Write("<SchemeItemList/>"), list));
    EXPECT_TRUE(list.IsEmpty());
}

} // namespace
