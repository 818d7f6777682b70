#include "ProjectDescription.hpp"
#include "MenuText.hpp"

#include "Guid.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using HostSim::ParseProjectDescription;
using nlohmann::json;

json Element(const std::string& guid, const std::string& globalId) {
    return json{{"guid", guid}, {"elementId", "W-001"}, {"globalId", globalId}};
}

std::string ErrorOf(const json& description) {
    try {
        ParseProjectDescription(description);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

TEST(ProjectDescription, ReadsNameElementsAndBounds) {
    json element = Element("{11111111-2222-3333-4444-555555555555}", "2O2Fr$t4X7Zf8NOew3FLOH");
    element["typeID"] = 5;
    element["bounds"] = {{"xMin", -1}, {"yMin", 0}, {"zMin", 0.5}, {"xMax", 1}, {"yMax", 2}, {"zMax", 3}};
    const auto project = ParseProjectDescription(
        json{{"name", "Villa"},
             {"elements", {element, Element("2b2b2b2b-0000-0000-0000-000000000001", "1a$_1a$_1a$_1a$_1a$_1a")}}});
    ASSERT_TRUE(project.name.has_value());
    EXPECT_EQ(*project.name, "Villa");
    ASSERT_EQ(project.elements.size(), 2u);
    EXPECT_EQ(project.elements[0].typeID, 5);
    ASSERT_TRUE(project.elements[0].bounds.has_value());
    EXPECT_EQ(project.elements[0].bounds->zMin, 0.5);
    EXPECT_EQ(project.elements[0].guid.time_low, 0x11111111u);
    EXPECT_FALSE(project.elements[1].bounds.has_value());
    EXPECT_EQ(project.FindElement(project.elements[1].guid), &project.elements[1]);
    EXPECT_EQ(project.FindElement(APINULLGuid), nullptr);
}

TEST(ProjectDescription, NullNameIsAProjectNeverSaved) {
    EXPECT_FALSE(ParseProjectDescription(json{{"name", nullptr}}).name.has_value());
    EXPECT_NE(ErrorOf(json::object()).find("\"name\""), std::string::npos);
    EXPECT_NE(ErrorOf(json{{"name", 3}}).find("\"name\""), std::string::npos);
}

TEST(ProjectDescription, RefusesBadElements) {
    const std::string guid = "{11111111-2222-3333-4444-555555555555}";
    EXPECT_NE(ErrorOf(json{{"name", nullptr}, {"elements", {Element(guid, "tooShort")}}}).find("tooShort"),
              std::string::npos);
    EXPECT_NE(
        ErrorOf(json{{"name", nullptr}, {"elements", {Element(guid, "2O2Fr$t4X7Zf8NOew3FLO-")}}}).find("GlobalId"),
        std::string::npos);
    EXPECT_NE(ErrorOf(json{{"name", nullptr}, {"elements", {Element("nope", "2O2Fr$t4X7Zf8NOew3FLOH")}}}).find("GUID"),
              std::string::npos);
    EXPECT_NE(
        ErrorOf(json{{"name", nullptr},
                     {"elements", {Element(guid, "2O2Fr$t4X7Zf8NOew3FLOH"), Element(guid, "2O2Fr$t4X7Zf8NOew3FLOI")}}})
            .find("twice"),
        std::string::npos);
    json inverted = Element(guid, "2O2Fr$t4X7Zf8NOew3FLOH");
    inverted["bounds"] = {{"xMin", 2}, {"yMin", 0}, {"zMin", 0}, {"xMax", 1}, {"yMax", 0}, {"zMax", 0}};
    EXPECT_NE(ErrorOf(json{{"name", nullptr}, {"elements", {inverted}}}).find("exceeds"), std::string::npos);
}

TEST(ProjectDescription, BundledSampleLoads) {
    const auto project = HostSim::LoadProjectDescription(std::string(HOSTSIM_SCENARIO_DIR) + "/SampleProject.json");
    EXPECT_TRUE(project.name.has_value());
    EXPECT_GE(project.elements.size(), 3u);
    EXPECT_THROW(HostSim::LoadProjectDescription("/nonexistent/project.json"), std::runtime_error);
}

const char* const A = "{11111111-2222-3333-4444-555555555555}";
const char* const B = "{22222222-2222-4222-8222-222222222222}";
const char* const C = "{33333333-3333-4333-8333-333333333333}";
const char* const D = "{44444444-4444-4444-8444-444444444444}";
const std::string AOwn = "0H4H4H8Y8pCqH4LLLLLLLL";
const std::string Shared = "2SharedByStoreyAndB000";

HostSim::ProjectDescription ModelProject() {
    return HostSim::LoadProjectDescription(std::string(HOSTSIM_TEST_DATA_DIR) + "/ModelProject.json");
}

API_Guid G(const char* text) {
    return GSGuid2APIGuid(GS::Guid(text));
}

TEST(ProjectDescription, OptionalKeysAndTheirDefaults) {
    const auto project = ModelProject();
    ASSERT_EQ(project.elements.size(), 4u);
    ASSERT_EQ(project.objects.size(), 2u);
    const auto& a = project.elements[0];
    EXPECT_EQ(a.elementId, "WALL-A");
    EXPECT_EQ(a.globalId, AOwn); // computed from the GUID
    EXPECT_FALSE(a.externalGlobalId.has_value());
    EXPECT_TRUE(a.shownIn3D);
    EXPECT_FALSE(a.locked);
    const auto& b = project.elements[1];
    EXPECT_EQ(b.elementId, "");
    EXPECT_EQ(b.globalId, Shared); // given, so not computed
    EXPECT_EQ(project.elements[2].externalGlobalId, std::optional<std::string>("1ExternalGlobalIdOfC01"));
    EXPECT_EQ(project.elements[2].globalId, "0pCpCpCpD3CuCpCpCpCpCp");
    EXPECT_FALSE(project.elements[3].shownIn3D);
    EXPECT_TRUE(project.elements[3].locked);
    EXPECT_EQ(project.objects[0].type, "IfcBuildingStorey");
}

TEST(ProjectDescription, RefusesUnknownKeysAndBadNewValues) {
    const std::string guid = "{11111111-2222-3333-4444-555555555555}";
    json typo = Element(guid, "2O2Fr$t4X7Zf8NOew3FLOH");
    typo["externalGlobalID"] = "x";
    EXPECT_NE(ErrorOf(json{{"name", nullptr}, {"elements", {typo}}}).find("\"externalGlobalID\""), std::string::npos);
    json emptyExternal = Element(guid, "2O2Fr$t4X7Zf8NOew3FLOH");
    emptyExternal["externalGlobalId"] = "";
    EXPECT_NE(ErrorOf(json{{"name", nullptr}, {"elements", {emptyExternal}}}).find("empty"), std::string::npos);
    json shown = Element(guid, "2O2Fr$t4X7Zf8NOew3FLOH");
    shown["shownIn3D"] = 1;
    EXPECT_NE(ErrorOf(json{{"name", nullptr}, {"elements", {shown}}}).find("shownIn3D"), std::string::npos);
    json locked = Element(guid, "2O2Fr$t4X7Zf8NOew3FLOH");
    locked["locked"] = "yes";
    EXPECT_NE(ErrorOf(json{{"name", nullptr}, {"elements", {locked}}}).find("\"locked\" is not a boolean"),
              std::string::npos);
    EXPECT_NE(ErrorOf(json{{"name", nullptr}, {"objects", {{{"globalId", "short"}}}}}).find("object 1"),
              std::string::npos);
    EXPECT_NE(ErrorOf(json{{"name", nullptr}, {"objects", {json::object()}}}).find("\"globalId\""), std::string::npos);
    EXPECT_NE(ErrorOf(json{{"name", nullptr}, {"objects", 3}}).find("\"objects\""), std::string::npos);
    EXPECT_NE(ErrorOf(json{{"name", nullptr}, {"extra", 3}}).find("\"extra\""), std::string::npos);
    // An external GlobalId need not have the IFC form: other applications write what they like.
    json foreign = Element(guid, "2O2Fr$t4X7Zf8NOew3FLOH");
    foreign["externalGlobalId"] = "not-an-ifc-id";
    EXPECT_EQ(ErrorOf(json{{"name", nullptr}, {"elements", {foreign}}}), "");
}

TEST(ProjectDescription, GlobalIdIndexListsOtherObjectsFirstThenElementsInOrder) {
    const auto project = ModelProject();
    using HostSim::FirstObjectNumber;
    // The storey and B share a GlobalId: only B is an element.
    EXPECT_EQ(project.FindObjects(Shared), (std::vector<HostSim::ObjectNumber>{FirstObjectNumber, 2}));
    // A's own GlobalId is D's external one: both, in the order of the description.
    EXPECT_EQ(project.FindObjects(AOwn), (std::vector<HostSim::ObjectNumber>{1, 4}));
    // C is found by its external GlobalId and by its own.
    EXPECT_EQ(project.FindObjects("1ExternalGlobalIdOfC01"), std::vector<HostSim::ObjectNumber>{3});
    EXPECT_EQ(project.FindObjects("0pCpCpCpD3CuCpCpCpCpCp"), std::vector<HostSim::ObjectNumber>{3});
    EXPECT_EQ(project.FindObjects("3SpaceOnlyNoElement000"), std::vector<HostSim::ObjectNumber>{FirstObjectNumber + 1});
    EXPECT_TRUE(project.FindObjects("0000000000000000000000").empty());
    EXPECT_TRUE(project.FindObjects("").empty());
}

TEST(ProjectDescription, AnObjectMatchingByBothGlobalIdsIsListedOnce) {
    json element = Element("{11111111-2222-3333-4444-555555555555}", "2O2Fr$t4X7Zf8NOew3FLOH");
    element["externalGlobalId"] = "2O2Fr$t4X7Zf8NOew3FLOH";
    const auto project = ParseProjectDescription(json{{"name", nullptr}, {"elements", {element}}});
    EXPECT_EQ(project.FindObjects("2O2Fr$t4X7Zf8NOew3FLOH"), std::vector<HostSim::ObjectNumber>{1});
}

TEST(ProjectDescription, ObjectNumbersAtTheirBoundaries) {
    const auto project = ModelProject();
    using HostSim::FirstObjectNumber;
    EXPECT_EQ(project.ElementOfObject(0), nullptr);
    EXPECT_EQ(project.ElementOfObject(1), &project.elements[0]);
    EXPECT_EQ(project.ElementOfObject(4), &project.elements[3]);
    EXPECT_EQ(project.ElementOfObject(5), nullptr);
    EXPECT_EQ(project.ElementOfObject(FirstObjectNumber), nullptr);
    EXPECT_EQ(project.OtherObject(FirstObjectNumber - 1), nullptr);
    EXPECT_EQ(project.OtherObject(FirstObjectNumber), &project.objects[0]);
    EXPECT_EQ(project.OtherObject(FirstObjectNumber + 1), &project.objects[1]);
    EXPECT_EQ(project.OtherObject(FirstObjectNumber + 2), nullptr);
    EXPECT_EQ(project.OtherObject(1), nullptr);
    EXPECT_EQ(project.ObjectOfElement(G(D)), std::optional<HostSim::ObjectNumber>(4));
    EXPECT_EQ(project.ObjectOfElement(APINULLGuid), std::nullopt);
}

TEST(ProjectDescription, ChangesWithoutReindexStillFindTheirElements) {
    auto project = ModelProject();
    HostSim::ProjectElement added;
    added.guid = G("{55555555-5555-4555-8555-555555555555}");
    added.globalId = AOwn;
    project.elements.push_back(added);
    EXPECT_EQ(project.FindElement(added.guid), &project.elements[4]);
    EXPECT_EQ(project.FindObjects(AOwn), (std::vector<HostSim::ObjectNumber>{1, 4, 5}));
    project.Reindex();
    EXPECT_EQ(project.FindObjects(AOwn), (std::vector<HostSim::ObjectNumber>{1, 4, 5}));
    project.elements.push_back(added);
    EXPECT_THROW(project.Reindex(), std::runtime_error);
}

TEST(ProjectDescription, SyntheticModelOfAHundredThousandElements) {
    const auto project = HostSim::MakeSyntheticProject(100000);
    ASSERT_EQ(project.elements.size(), 100000u);
    EXPECT_EQ(project.name, std::optional<std::string>("Synthetic"));
    const auto& e42 = project.elements[41];
    EXPECT_EQ(e42.guidText, "{0000002A-5359-4E54-8000-00000000002A}");
    EXPECT_EQ(GSGuid2APIGuid(GS::Guid(e42.guidText.c_str())), e42.guid);
    EXPECT_EQ(e42.globalId, "00000gKrbEL8000000000g");
    EXPECT_EQ(e42.elementId, "SYN-42");
    EXPECT_EQ(e42.typeID, 3);
    ASSERT_TRUE(e42.bounds.has_value());
    EXPECT_EQ(e42.bounds->xMin, 42.0);
    EXPECT_EQ(project.elements.back().bounds->zMin, 10.0);
    EXPECT_EQ(HostSim::MakeSyntheticProject(3).elements[2].guid, project.elements[2].guid); // the same every time

    // Every element by GUID and by GlobalId. A linear search would take billions of steps here and outlast the
    // test's time-out; the index takes moments even in a sanitizer build.
    std::size_t found = 0;
    for (std::size_t i = 0; i < project.elements.size(); ++i) {
        const auto& element = project.elements[i];
        found += project.FindElement(element.guid) == &element;
        const auto objects = project.FindObjects(element.globalId);
        found += objects.size() == 1 && objects[0] == i + 1;
    }
    EXPECT_EQ(found, 200000u);
}

TEST(ProjectDescription, AppendsThroughIndexGrowthKeepEveryLookupAndOrder) {
    HostSim::ProjectDescription project;
    project.objects.push_back({"0SharedGlobalIdOfMany0", "IfcSpace"});
    project.Reindex();
    const std::size_t builds = project.GetIndexBuildCount();
    auto base = HostSim::MakeSyntheticProject(5000);
    for (std::size_t i = 0; i < base.elements.size(); ++i) {
        HostSim::ProjectElement element = base.elements[i];
        if (i % 2 == 0) element.externalGlobalId = "0SharedGlobalIdOfMany0";
        project.AppendElement(std::move(element));
    }
    EXPECT_EQ(project.GetIndexBuildCount(), builds) << "growing the indexes is no rebuild";

    // The other object first, then every second element in order, across every growth of the index.
    const auto shared = project.FindObjects("0SharedGlobalIdOfMany0");
    ASSERT_EQ(shared.size(), 2501u);
    EXPECT_EQ(shared[0], HostSim::FirstObjectNumber);
    for (std::size_t k = 1; k < shared.size(); ++k)
        ASSERT_EQ(shared[k], 2 * (k - 1) + 1) << k;

    // Lookups in any order, after the hint points elsewhere, and of a GUID no element has.
    for (std::size_t i = project.elements.size(); i-- > 0;)
        ASSERT_EQ(project.FindElementIndex(project.elements[i].guid), std::optional<std::size_t>(i));
    ASSERT_NE(project.ElementOfObject(1234), nullptr); // element 1233, and its successor, are at hand now
    EXPECT_EQ(project.FindElementIndex(project.elements[1234].guid), std::optional<std::size_t>(1234));
    EXPECT_EQ(project.FindElementIndex(project.elements[1233].guid), std::optional<std::size_t>(1233));
    EXPECT_EQ(project.FindElementIndex(project.elements[17].guid), std::optional<std::size_t>(17));
    EXPECT_EQ(project.FindElement(G("{55555555-5555-4555-8555-555555555555}")), nullptr);

    // A GUID appended twice is refused and changes nothing.
    EXPECT_THROW(project.AppendElement(base.elements[7]), std::runtime_error);
    EXPECT_EQ(project.elements.size(), 5000u);
    EXPECT_EQ(project.FindElementIndex(base.elements[7].guid), std::optional<std::size_t>(7));
    EXPECT_EQ(project.FindObjects(base.elements[7].globalId), std::vector<HostSim::ObjectNumber>{8});
}

// An element with property values, and a project with the definitions they belong to.
json Valued(const json& values) {
    json element = Element("{11111111-2222-3333-4444-555555555555}", "2O2Fr$t4X7Zf8NOew3FLOH");
    element["propertyValues"] = values;
    return json{{"name", nullptr},
                {"elements", {element}},
                {"propertyGroups",
                 {{{"guid", "{AAAAAAAA-0000-0000-0000-000000000001}"},
                   {"name", "Mine"},
                   {"definitions",
                    {{{"guid", "{BBBBBBBB-0000-0000-0000-000000000001}"}, {"name", "Fire"}},
                     {{"guid", "{BBBBBBBB-0000-0000-0000-000000000002}"}, {"name", "Load"}}}}}}}};
}

TEST(ProjectDescription, PropertyValuesOfTheProjectsDefinitions) {
    const auto project = ParseProjectDescription(Valued(
        {{"{BBBBBBBB-0000-0000-0000-000000000001}", "EI 90"}, {"{bbbbbbbb-0000-0000-0000-000000000002}", {1, 2.5}}}));
    const auto& element = project.elements.at(0);
    ASSERT_EQ(element.propertyValues.size(), 2u);
    const auto definition = [](const char* text) { return GSGuid2APIGuid(GS::Guid(text)); };
    ASSERT_NE(element.FindPropertyValue(definition("{BBBBBBBB-0000-0000-0000-000000000001}")), nullptr);
    EXPECT_EQ(*element.FindPropertyValue(definition("{BBBBBBBB-0000-0000-0000-000000000001}")), "EI 90");
    EXPECT_EQ(*element.FindPropertyValue(definition("{BBBBBBBB-0000-0000-0000-000000000002}")), json({1, 2.5}));
    EXPECT_EQ(element.FindPropertyValue(definition("{BBBBBBBB-0000-0000-0000-000000000003}")), nullptr);
    // Without the key, no values: older descriptions read as before.
    EXPECT_TRUE(ModelProject().elements[0].propertyValues.empty());
    EXPECT_TRUE(ParseProjectDescription(Valued(json::object())).elements[0].propertyValues.empty());
}

TEST(ProjectDescription, RefusesPropertyValuesItCannotPlace) {
    EXPECT_NE(ErrorOf(Valued({{"{BBBBBBBB-0000-0000-0000-000000000009}", 1}})).find("no property definition"),
              std::string::npos);
    EXPECT_NE(ErrorOf(Valued({{"Fire", 1}})).find("\"Fire\" is not a GUID"), std::string::npos);
    EXPECT_NE(
        ErrorOf(Valued({{"{BBBBBBBB-0000-0000-0000-000000000001}", 1}, {"{bbbbbbbb-0000-0000-0000-000000000001}", 2}}))
            .find("has two values"),
        std::string::npos);
    for (const json& bad : {json(nullptr), json::object(), json::array(), json({1, {2}}), json({{"a", 1}})})
        EXPECT_NE(ErrorOf(Valued({{"{BBBBBBBB-0000-0000-0000-000000000001}", bad}})).find("neither"), std::string::npos)
            << bad.dump();
    EXPECT_NE(ErrorOf(Valued(json::array())).find("\"propertyValues\" is not an object"), std::string::npos);
}

TEST(MenuText, SplitsTextControlsAndIcon) {
    const auto item = HostSim::ParseMenuItemText("Quillmar Palette ^E3^10001");
    EXPECT_EQ(item.text, "Quillmar Palette");
    EXPECT_EQ(item.controls, std::vector<std::string>{"E3"});
    ASSERT_TRUE(item.icon.has_value());
    EXPECT_EQ(*item.icon, 10001);
}

TEST(MenuText, TextWithoutControlsOrWithEmptyOnes) {
    const auto plain = HostSim::ParseMenuItemText("Plain item");
    EXPECT_EQ(plain.text, "Plain item");
    EXPECT_TRUE(plain.controls.empty());
    EXPECT_FALSE(plain.icon.has_value());

    const auto empty = HostSim::ParseMenuItemText("Item ^^");
    EXPECT_EQ(empty.text, "Item");
    EXPECT_TRUE(empty.controls.empty());
    EXPECT_FALSE(empty.icon.has_value());

    // Too large for an id: not an icon.
    const auto huge = HostSim::ParseMenuItemText("X^99999999999");
    EXPECT_FALSE(huge.icon.has_value());
    EXPECT_EQ(huge.controls.size(), 1u);
}

} // namespace
