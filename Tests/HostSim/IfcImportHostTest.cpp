// The host's side of an IFC import: opening an IFC file as the project, reading elements as records and making new
// ones inside undoable commands. Called through the table, as an add-on calls them.

#include "HostSimTestSupport.hpp"

#include "HostServices.hpp"
#include "IfcFileWriter.hpp"
#include "ScriptValues.hpp"

#include "Location.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>

namespace {

using namespace HostSimTest;
using HostSim::HostServices;

json Description() {
    return json::parse(R"({"name": "Before", "elements": [
        {"guid": "{11111111-2222-3333-4444-555555555551}", "elementId": "W-1", "ifcType": "IfcWall",
         "bounds": {"xMin": 1, "yMin": 2, "zMin": 3, "xMax": 5, "yMax": 2.25, "zMax": 6}},
        {"guid": "{11111111-2222-3333-4444-555555555552}", "elementId": "S-1", "ifcType": "IfcSlab",
         "bounds": {"xMin": -4, "yMin": 0, "zMin": 0, "xMax": 4, "yMax": 8, "zMax": 0.2}},
        {"guid": "{11111111-2222-3333-4444-555555555553}", "elementId": "Ä 'x'", "externalGlobalId": "3vB2YO$MX4xv5uCqZZG05x"}],
      "objects": [{"globalId": "1Storey000000000000001", "type": "IfcBuildingStorey"}]})");
}

// A file as other exporters write it: CRLF line breaks, comments, string escapes, entities out of order.
constexpr const char* ForeignFile =
    "ISO-10303-21;\r\nHEADER;\r\nFILE_DESCRIPTION(('ViewDefinition [CoordinationView]'),'2;1');\r\n"
    "FILE_NAME('x.ifc','2026-12-09T10:20:30',(''),(''),'tool','tool','');\r\nFILE_SCHEMA(('IFC2X3'));\r\n"
    "ENDSEC;\r\nDATA;\r\n"
    "#70=IFCRELCONTAINEDINSPATIALSTRUCTURE('0Ii8xYOVn5dv7BH5GZDvG1',$,$,$,(/* both */ #40,\r\n #60),#20);\r\n"
    "#40= /* the wall */ IFCWALL('3vB2YO$MX4xv5uCqZZG05x',$,'Wand \\X2\\00C4\\X0\\ ''A''',$,$,#32,$,$);\r\n"
    "#60=IFCSLAB('1kTvXnbbzCWw8lcMd1dR4o',$,$,$,$,$,$,$,.FLOOR.);\r\n"
    "#10=IFCCARTESIANPOINT((0.,0.,0.));\r\n#11=IFCAXIS2PLACEMENT3D(#10,$,$);\r\n#12=IFCLOCALPLACEMENT($,#11);\r\n"
    "#20=IFCBUILDINGSTOREY('2hBCIXRnHAPOKiAkyVCiKn',$,'Level 1',$,$,#12,$,$,.ELEMENT.,3.);\r\n"
    "#30=IFCCARTESIANPOINT((1.,2.,3.));\r\n#31=IFCAXIS2PLACEMENT3D(#30,$,$);\r\n#32=IFCLOCALPLACEMENT(#12,#31);\r\n"
    "ENDSEC;\r\nEND-ISO-10303-21;\r\n";

API_Guid Guid(const char* text) {
    GS::Guid guid;
    EXPECT_TRUE(GS::Guid::TryParse(GS::UniString(text), guid));
    return GSGuid2APIGuid(guid);
}

class IfcImportHostTest : public ::testing::Test {
protected:
    IfcImportHostTest() : services(transcript, std::make_shared<HostSim::MainThread>()) {
        EXPECT_TRUE(services.Activate());
        table = services.MakeTable();
        token = services.GetHostToken();
        services.SetTokenPhase(HostServices::TokenPhase::Issued);
        services.GetState().project = HostSim::ParseProjectDescription(Description());
    }

    HostSim::ProjectDescription& Project() { return services.GetState().project; }

    GSErrCode Open(const std::filesystem::path& file, API_FileTypeID type = APIFType_IfcFile) {
        IO::Location location(HostSim::ToUniString(file.string()));
        API_FileOpenPars params;
        params.fileTypeID = type;
        params.file = &location;
        return table.openProject(token, &params);
    }

    // Writes the project's elements with the host's own IFC writer.
    std::filesystem::path WriteOwnFile(const std::string& name) {
        const std::filesystem::path file = folder / name;
        std::vector<const HostSim::ProjectElement*> elements;
        for (const HostSim::ProjectElement& element : Project().elements)
            elements.push_back(&element);
        EXPECT_TRUE(HostSim::WriteIfcFile(file, Project(), elements, {}, "General Translator"));
        return file;
    }

    // Runs `body` as an undoable command named `name`.
    template <typename Body>
    GSErrCode Undoable(const char* name, Body& body) {
        const GS::UniString undoName(name);
        return table.undoableCommand(
            token, &undoName, [](void* context) { return (*static_cast<Body*>(context))(); }, &body);
    }

    // The record of an element; typeID 0 when the host does not know it.
    API_Element Get(const API_Guid& guid) {
        API_Element record;
        record.header.guid = guid;
        EXPECT_EQ(table.getElement(token, &record), NoError);
        return record;
    }

    Lines LinesWith(const std::string& key) const { return With(transcript->GetLines(), key); }

    TempFolder folder;
    std::shared_ptr<HostSim::Transcript> transcript = std::make_shared<HostSim::Transcript>();
    HostServices services;
    API_HostFunctionTable table{};
    void* token = nullptr;
};

TEST_F(IfcImportHostTest, OwnFileComesBackWithItsGlobalIdsAsExternalOnes) {
    std::vector<std::string> globalIds;
    for (const HostSim::ProjectElement& element : Project().elements)
        globalIds.push_back(element.globalId);
    const std::filesystem::path file = WriteOwnFile("Round Trip.ifc");
    services.SelectFromHost({Project().elements[0].guid});
    services.GetState().zoomTarget = {Project().elements[1].guid};
    transcript->AddMask(folder.Path().string(), "<home>");

    ASSERT_EQ(Open(file), NoError) << Dump(transcript->GetLines());

    const HostSim::ProjectDescription& project = Project();
    EXPECT_EQ(project.name, std::optional<std::string>("Round Trip"));
    EXPECT_TRUE(project.objects.empty());
    EXPECT_TRUE(services.GetState().selection.empty());
    EXPECT_TRUE(services.GetState().zoomTarget.empty());
    ASSERT_EQ(project.elements.size(), 3u);
    std::set<std::string> newGuids;
    for (std::size_t i = 0; i < 3; ++i) {
        const HostSim::ProjectElement& element = project.elements[i];
        EXPECT_EQ(element.externalGlobalId, std::optional<std::string>(globalIds[i])) << i;
        EXPECT_NE(element.globalId, globalIds[i]) << "an opened element gets a GlobalId of its own";
        EXPECT_EQ(element.globalId, HostSim::MakeIfcGlobalId(element.guid));
        newGuids.insert(element.guidText);
        // The add-on's GlobalId lookups find it by the file's GlobalId.
        EXPECT_EQ(project.FindObjects(globalIds[i]), std::vector<HostSim::ObjectNumber>{i + 1});
        EXPECT_EQ(project.FindElement(element.guid), &element);
    }
    EXPECT_EQ(newGuids.size(), 3u);
    EXPECT_EQ(project.elements[0].elementId, "W-1");
    EXPECT_EQ(project.elements[2].elementId, "Ä 'x'");
    EXPECT_EQ(project.elements[0].ifcType, "IFCWALL");
    EXPECT_EQ(project.elements[1].ifcType, "IFCSLAB");
    EXPECT_EQ(project.elements[2].ifcType, "IFCBUILDINGELEMENTPROXY");
    // The writer places an element at its bounds' lowest corner; the host puts a small box around that point.
    ASSERT_TRUE(project.elements[0].bounds.has_value());
    const API_Box3D& wall = *project.elements[0].bounds;
    EXPECT_DOUBLE_EQ(wall.xMin, 0.5);
    EXPECT_DOUBLE_EQ(wall.xMax, 1.5);
    EXPECT_DOUBLE_EQ(wall.yMin, 1.5);
    EXPECT_DOUBLE_EQ(wall.zMax, 3.5);
    EXPECT_EQ(LinesWith("opened"), (Lines{json{{"opened", {{"file", "<home>/Round Trip.ifc"}, {"elements", 3}}}}}));

    // The same file gives the same GUIDs in every run.
    const std::vector<HostSim::ProjectElement> first = project.elements;
    ASSERT_EQ(Open(file), NoError);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(Project().elements[i].guid, first[i].guid);
}

TEST_F(IfcImportHostTest, ForeignLayoutOpensWithDecodedNamesAndOnlyPlacedElementsBounded) {
    const std::filesystem::path file = folder / "foreign.ifc";
    WriteFile(file, ForeignFile);
    ASSERT_EQ(Open(file), NoError) << Dump(transcript->GetLines());
    const HostSim::ProjectDescription& project = Project();
    ASSERT_EQ(project.elements.size(), 2u);
    EXPECT_EQ(project.elements[0].externalGlobalId, std::optional<std::string>("3vB2YO$MX4xv5uCqZZG05x"));
    EXPECT_EQ(project.elements[0].elementId, "Wand Ä 'A'");
    ASSERT_TRUE(project.elements[0].bounds.has_value());
    EXPECT_DOUBLE_EQ(project.elements[0].bounds->xMin, 0.5);
    EXPECT_DOUBLE_EQ(project.elements[0].bounds->yMax, 2.5);
    EXPECT_EQ(project.elements[1].externalGlobalId, std::optional<std::string>("1kTvXnbbzCWw8lcMd1dR4o"));
    EXPECT_EQ(project.elements[1].elementId, "");
    EXPECT_FALSE(project.elements[1].bounds.has_value()) << "the slab has no placement";
    EXPECT_EQ(project.name, std::optional<std::string>("foreign"));
}

TEST_F(IfcImportHostTest, RefusedOpensLeaveTheProjectAsItWas) {
    const std::filesystem::path text = folder / "notes.ifc";
    WriteFile(text, "not an IFC file\n");
    const std::filesystem::path good = folder / "good.ifc";
    WriteFile(good, ForeignFile);
    const auto unchanged = [this] {
        EXPECT_EQ(Project().name, std::optional<std::string>("Before"));
        ASSERT_EQ(Project().elements.size(), 3u);
        EXPECT_EQ(Project().elements[0].elementId, "W-1");
        EXPECT_EQ(Project().objects.size(), 1u);
    };
    transcript->AddMask(folder.Path().string(), "<home>");

    EXPECT_EQ(Open(text), APIERR_GENERAL);
    unchanged();
    const Lines opened = LinesWith("opened");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0]["opened"]["file"], "<home>/notes.ifc");
    EXPECT_TRUE(opened[0]["opened"]["error"].is_string() && !opened[0]["opened"]["error"].get<std::string>().empty());
    EXPECT_FALSE(opened[0]["opened"].contains("elements"));

    EXPECT_EQ(Open(folder / "missing.ifc"), APIERR_GENERAL);
    unchanged();
    EXPECT_EQ(Open(good, APIFType_PNGFile), APIERR_GENERAL) << "only IFC files open";
    unchanged();
    EXPECT_EQ(LinesWith("opened").size(), 3u);

    API_FileOpenPars noFile;
    noFile.fileTypeID = APIFType_IfcFile;
    EXPECT_EQ(table.openProject(token, &noFile), APIERR_GENERAL);
    EXPECT_EQ(table.openProject(token, nullptr), APIERR_GENERAL);
    unchanged();
    EXPECT_EQ(LinesWith("error").size(), 2u);
}

TEST_F(IfcImportHostTest, ElementRecordsReadAndMakeElementsOnlyInsideOneUndoStep) {
    const API_Element wall = Get(Guid("{11111111-2222-3333-4444-555555555551}"));
    EXPECT_EQ(wall.header.typeID, 1);
    EXPECT_EQ(HostSim::ToUtf8(wall.elementID), "W-1");
    EXPECT_EQ(HostSim::ToUtf8(wall.ifcType), "IfcWall");
    EXPECT_TRUE(wall.externalGlobalId.IsEmpty());
    ASSERT_TRUE(wall.hasBounds);
    EXPECT_DOUBLE_EQ(wall.bounds.yMax, 2.25);
    const API_Element proxy = Get(Guid("{11111111-2222-3333-4444-555555555553}"));
    EXPECT_EQ(HostSim::ToUtf8(proxy.externalGlobalId), "3vB2YO$MX4xv5uCqZZG05x");
    EXPECT_FALSE(proxy.hasBounds);

    API_Element unknown;
    unknown.header.guid = Guid("{99999999-2222-3333-4444-555555555551}");
    EXPECT_EQ(table.getElement(token, &unknown), APIERR_GENERAL);
    EXPECT_TRUE(unknown.elementID.IsEmpty()) << "a failed call leaves the record alone";
    EXPECT_TRUE(LinesWith("error").empty()) << "an unknown element only fails";

    // Outside an undo step nothing is made.
    API_Element copy = wall;
    EXPECT_EQ(table.createElement(token, &copy), APIERR_GENERAL);
    EXPECT_EQ(copy.header.guid, wall.header.guid);
    EXPECT_EQ(Project().elements.size(), 3u);
    EXPECT_EQ(LinesWith("error").size(), 1u);

    GSErrCode nested = NoError;
    auto body = [&] {
        copy.externalGlobalId = "2hQ3Y8vBz9jPk1Ww0mEXT0";
        if (const GSErrCode made = table.createElement(token, &copy); made != NoError) return made;
        API_Element again = proxy;
        if (const GSErrCode made = table.createElement(token, &again); made != NoError) return made;
        auto inner = [] { return NoError; };
        nested = Undoable("Inner", inner);
        return NoError;
    };
    ASSERT_EQ(Undoable("Create Element", body), NoError);
    EXPECT_EQ(nested, APIERR_GENERAL) << "undo steps do not nest";
    EXPECT_EQ(LinesWith("undoStep"), (Lines{json{{"undoStep", "Create Element"}, {"elements", 5}}}));
    EXPECT_EQ(LinesWith("error").size(), 2u);

    ASSERT_EQ(Project().elements.size(), 5u);
    std::set<API_Guid, bool (*)(const API_Guid&, const API_Guid&)> guids(
        [](const API_Guid& a, const API_Guid& b) { return std::memcmp(&a, &b, sizeof a) < 0; });
    for (const HostSim::ProjectElement& element : Project().elements)
        guids.insert(element.guid);
    EXPECT_EQ(guids.size(), 5u) << "every new element has a GUID of its own";
    EXPECT_EQ(copy.header.guid, Project().elements[3].guid) << "the new GUID is written back";
    const API_Element made = Get(copy.header.guid);
    EXPECT_EQ(HostSim::ToUtf8(made.elementID), "W-1");
    EXPECT_EQ(HostSim::ToUtf8(made.ifcType), "IfcWall");
    EXPECT_EQ(HostSim::ToUtf8(made.externalGlobalId), "2hQ3Y8vBz9jPk1Ww0mEXT0");
    EXPECT_TRUE(made.hasBounds);
    EXPECT_DOUBLE_EQ(made.bounds.zMax, 6.0);
    EXPECT_EQ(Project().FindObjects("2hQ3Y8vBz9jPk1Ww0mEXT0"), std::vector<HostSim::ObjectNumber>{4});
    // The proxy's external GlobalId now names it and its copy, in the project's order.
    EXPECT_EQ(Project().FindObjects("3vB2YO$MX4xv5uCqZZG05x"), (std::vector<HostSim::ObjectNumber>{3, 5}));

    // A step that fails takes back what it made.
    auto failing = [&] {
        API_Element more = wall;
        if (const GSErrCode result = table.createElement(token, &more); result != NoError) return result;
        return APIERR_BADPARS;
    };
    EXPECT_EQ(Undoable("Merge", failing), APIERR_BADPARS);
    EXPECT_EQ(Project().elements.size(), 5u);
    EXPECT_EQ(LinesWith("undoStep").back(), (json{{"undoStep", "Merge"}, {"result", "0x81060003"}, {"elements", 5}}));

    // A record of no type makes nothing.
    auto typeless = [&] {
        API_Element none;
        return table.createElement(token, &none);
    };
    EXPECT_EQ(Undoable("Nothing", typeless), APIERR_BADPARS);
    EXPECT_EQ(Project().elements.size(), 5u);
}

TEST_F(IfcImportHostTest, EachOperationFailsOnRequest) {
    const std::filesystem::path file = folder / "good.ifc";
    WriteFile(file, ForeignFile);
    services.GetState().failing = {"openProject", "getElement", "createElement", "undoableCommand"};
    EXPECT_EQ(Open(file), APIERR_GENERAL);
    API_Element record;
    record.header.guid = Guid("{11111111-2222-3333-4444-555555555551}");
    EXPECT_EQ(table.getElement(token, &record), APIERR_GENERAL);
    EXPECT_TRUE(record.elementID.IsEmpty());
    bool ran = false;
    auto body = [&] {
        ran = true;
        return NoError;
    };
    EXPECT_EQ(Undoable("Create Element", body), APIERR_GENERAL);
    EXPECT_FALSE(ran);
    EXPECT_EQ(Project().name, std::optional<std::string>("Before"));
    EXPECT_EQ(Project().elements.size(), 3u);
    const Lines failed = LinesWith("failed");
    EXPECT_EQ(failed, (Lines{json{{"failed", "openProject"}}, json{{"failed", "getElement"}},
                             json{{"failed", "undoableCommand"}}}));
    EXPECT_TRUE(LinesWith("error").empty()) << "a planned failure writes no error";

    services.GetState().failing = {"createElement"};
    API_Element copy = Get(record.header.guid);
    auto create = [&] { return table.createElement(token, &copy); };
    EXPECT_EQ(Undoable("Create Element", create), APIERR_GENERAL);
    EXPECT_EQ(Project().elements.size(), 3u);
    EXPECT_EQ(LinesWith("failed").back(), (json{{"failed", "createElement"}}));
}

TEST_F(IfcImportHostTest, MergingAHundredThousandElementsUpdatesTheIndexesInPlace) {
    constexpr std::size_t Count = 100000;
    services.GetState().project = HostSim::MakeSyntheticProject(Count);
    const std::size_t builds = Project().GetIndexBuildCount();
    std::vector<API_Guid> originals;
    for (const HostSim::ProjectElement& element : Project().elements)
        originals.push_back(element.guid);
    auto merge = [&] {
        for (const API_Guid& guid : originals) {
            API_Element record;
            record.header.guid = guid;
            if (const GSErrCode got = table.getElement(token, &record); got != NoError) return got;
            // The copy carries the original's GlobalId, as an imported element carries the file's.
            record.externalGlobalId = HostSim::ToUniString(Project().FindElement(guid)->globalId);
            if (const GSErrCode made = table.createElement(token, &record); made != NoError) return made;
        }
        return NoError;
    };
    ASSERT_EQ(Undoable("Merge", merge), NoError);
    ASSERT_EQ(Project().elements.size(), 2 * Count);
    // Rebuilding the indexes per element would make the merge quadratic.
    EXPECT_EQ(Project().GetIndexBuildCount(), builds);
    for (const std::size_t n : {std::size_t{0}, Count / 2, Count - 1}) {
        const HostSim::ProjectElement& original = Project().elements[n];
        const HostSim::ProjectElement& copy = Project().elements[Count + n];
        EXPECT_EQ(Project().FindElement(copy.guid), &copy);
        EXPECT_EQ(Project().FindObjects(original.globalId), (std::vector<HostSim::ObjectNumber>{n + 1, Count + n + 1}));
        EXPECT_EQ(copy.elementId, original.elementId);
    }
    EXPECT_EQ(LinesWith("undoStep"), (Lines{json{{"undoStep", "Merge"}, {"elements", 2 * Count}}}));
}

} // namespace
