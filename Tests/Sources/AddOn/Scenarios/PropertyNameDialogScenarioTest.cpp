// The page asks for a new property name: the add-on's modal dialog, answered step by step as a user would.

#include "AddOnScenario.hpp"

#include <gtest/gtest.h>

using namespace AddOnScenario;

namespace {

const std::string Open = "{\"menu\": 32500, \"item\": 1}\n";

std::string Answer(const json& steps) {
    return json{{"answer", {{"dialog", steps}}}}.dump() + "\n";
}

std::string Call(const json& names) {
    return json{{"call", "SetNewPropertyName"}, {"arg", names}}.dump() + "\n";
}

json Type(const std::string& text) {
    return json{{"type", text}, {"item", 3}};
}

const json Create = json{{"click", 1}};
const json Cancel = json{{"click", 2}};
const json CloseBox = json{{"close", true}};

// Types each name in turn and clicks Create after each.
json TypeAndCreate(std::initializer_list<std::string> names) {
    json steps = json::array();
    for (const std::string& name : names) {
        steps.push_back(Type(name));
        steps.push_back(Create);
    }
    return steps;
}

const json TakenAlert = json::parse(R"({"alert": {"large": "The property name exists.", "small": "",
    "buttons": ["Ok"]}, "answer": 1})");

TEST(PropertyNameDialog, ShowsItsResourceAndRefusesOnlyExactlyListedNames) {
    const json names = {"Wall", "Fire Rating", "", 7, "Zone"};
    const Lines lines = RunScenario(Open + Answer(TypeAndCreate({"Wall", "Zone", "wall"})) + Call(names) +
                                    Answer(TypeAndCreate({" Wall ", "Fire Rating"})) + Call(names) +
                                    Answer(TypeAndCreate({"7", ""})) + Call(names));
    const Lines dialogs = With(lines, "dialog");
    ASSERT_EQ(dialogs.size(), 3u) << Dump(lines);
    EXPECT_EQ(dialogs[0], json::parse(R"({"dialog": {"id": 32510, "title": "Quillmar", "items": [
        {"item": 1, "kind": "button", "text": "Create"}, {"item": 2, "kind": "button", "text": "Cancel"},
        {"item": 3, "kind": "textEdit", "text": ""}, {"item": 4, "kind": "leftText", "text": "New Property"}]}})"));

    // Letter case differs: accepted after two refusals, each with its alert while the dialog stayed open.
    EXPECT_EQ(ResultOf(lines, "SetNewPropertyName", 0), "wall");
    // Blanks are part of the name; the first try is accepted.
    EXPECT_EQ(ResultOf(lines, "SetNewPropertyName", 1), " Wall ");
    // Numbers and empty strings of the list name nothing.
    EXPECT_EQ(ResultOf(lines, "SetNewPropertyName", 2), "7");
    EXPECT_EQ(Count(lines, TakenAlert), 2) << Dump(lines);
    EXPECT_EQ(Count(lines, json{{"dialogClosed", {{"title", "Quillmar"}, {"response", "accept"}}}}), 3);
    // Steps after the dialog closed are the scenario's fault, and say so.
    EXPECT_EQ(With(lines, "error").size(), 2u) << Dump(lines);
}

TEST(PropertyNameDialog, CancelCloseBoxAndNoAnswerGiveTheEmptyText) {
    const Lines lines = RunScenario(Open + Answer({Type("Door"), Cancel}) + Call({"Wall"}) +
                                    Answer({Type("Door"), CloseBox}) + Call({"Wall"}) + Answer({Type("Wall"), Create}) +
                                    Call({"Wall"}) + Answer({Type(""), Create}) + Call(json::array()));
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(ResultOf(lines, "SetNewPropertyName", i), "") << i << "\n" << Dump(lines);
    const Lines closed = With(lines, "dialogClosed");
    ASSERT_EQ(closed.size(), 4u) << Dump(lines);
    EXPECT_EQ(closed[0]["dialogClosed"]["response"], "cancel");
    EXPECT_EQ(closed[1]["dialogClosed"]["response"], "cancel");
    // The refused name left the dialog open when the answer ran out: the host cancelled it.
    EXPECT_EQ(closed[2], json::parse(R"({"dialogClosed": {"title": "Quillmar", "unanswered": true,
        "response": "cancel"}})"));
    // An accepted empty name reads the same to the page as a cancel.
    EXPECT_EQ(closed[3]["dialogClosed"]["response"], "accept");
    EXPECT_TRUE(With(lines, "error").empty()) << Dump(lines);
}

TEST(PropertyNameDialog, OneStringIsAListOfItAndAnObjectItemIsABadCast) {
    const Lines lines =
        RunScenario(Open + Answer(TypeAndCreate({"Wall", "Walls"})) + Call("Wall") +
                    Answer(TypeAndCreate({std::string(300, 'n')})) + Call("") + Call({"Wall", {{"name", "Slab"}}}));
    EXPECT_EQ(ResultOf(lines, "SetNewPropertyName", 0), "Walls");
    EXPECT_EQ(Count(lines, TakenAlert), 1) << Dump(lines);
    // The text edit takes no more than its 255 characters.
    EXPECT_EQ(ResultOf(lines, "SetNewPropertyName", 1), std::string(255, 'n'));
    EXPECT_EQ(ResultOf(lines, "SetNewPropertyName", 2).value("error", ""), "Bad cast.") << Dump(lines);
    EXPECT_EQ(With(lines, "dialog").size(), 2u) << "no dialog for an argument that cannot be read";
}

} // namespace
