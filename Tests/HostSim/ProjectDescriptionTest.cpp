#include "ProjectDescription.hpp"
#include "MenuText.hpp"

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
