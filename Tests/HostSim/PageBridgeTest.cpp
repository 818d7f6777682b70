// The page's side of the bridge to a real browser, without one: tagged arguments, call payloads and origins.

#include "PageBridge.hpp"
#include "HostSimTestSupport.hpp"
#include "ScriptValues.hpp"
#include "WebOrigin.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>

namespace {

using HostSim::Line;
using HostSim::PageBridge::DecodeArgument;
using HostSim::PageBridge::ParseCall;
using nlohmann::json;

GS::Ref<JS::Value> AsValue(const GS::Ref<JS::Base>& value) {
    auto plain = GS::DynamicCast<JS::Value>(value);
    EXPECT_FALSE(plain.IsNull());
    return plain;
}

TEST(PageBridge, TaggedPlainValuesKeepWhatJsonCannotTellApart) {
    const auto undefinedValue = AsValue(DecodeArgument(json::parse(R"(["u"])")));
    EXPECT_EQ(undefinedValue->GetType(), JS::Value::UNDEFINED) << "undefined is a value, not a missing one";
    EXPECT_TRUE(DecodeArgument(json::parse(R"(["n"])")).IsNull()) << "null is missing, as a scenario's null is";
    EXPECT_TRUE(AsValue(DecodeArgument(json::parse(R"(["b", true])")))->GetBool());
    EXPECT_EQ(AsValue(DecodeArgument(json::parse(R"(["i", -2147483648])")))->GetType(), JS::Value::INTEGER);
    EXPECT_EQ(AsValue(DecodeArgument(json::parse(R"(["i", 2147483647])")))->GetInteger(), 2147483647);
    const auto whole = AsValue(DecodeArgument(json::parse(R"(["d", 4])")));
    EXPECT_EQ(whole->GetType(), JS::Value::DOUBLE) << "the page said it is no 32-bit integer";
    EXPECT_EQ(whole->GetDouble(), 4.0);
    EXPECT_TRUE(std::isnan(AsValue(DecodeArgument(json::parse(R"(["d", "NaN"])")))->GetDouble()));
    EXPECT_EQ(AsValue(DecodeArgument(json::parse(R"(["d", "-Infinity"])")))->GetDouble(), -INFINITY);
    EXPECT_EQ(AsValue(DecodeArgument(json::parse(R"(["s", "Grüße \"東京\"\n"])")))->GetString(),
              GS::UniString("Grüße \"東京\"\n", CC_UTF8));
}

TEST(PageBridge, ArraysAndObjectsKeepOrderNestingAndMissingItems) {
    const auto object = GS::DynamicCast<JS::Object>(DecodeArgument(
        json::parse(R"(["o", [["z", ["a", [["s", "x"], ["n"], ["u"], ["a", [["i", 1]]]]]], ["a", ["o", []]]]])")));
    ASSERT_FALSE(object.IsNull());
    ASSERT_EQ(object->GetItemTable().GetSize(), 2u);
    EXPECT_EQ(object->GetItemTable()[0].first, "z") << "in the page's order, not sorted";
    const auto array = GS::DynamicCast<JS::Array>(object->GetItem("z"));
    ASSERT_FALSE(array.IsNull());
    ASSERT_EQ(array->GetItemArray().GetSize(), 4u);
    EXPECT_TRUE(array->GetItemArray()[1].IsNull());
    EXPECT_EQ(AsValue(array->GetItemArray()[2])->GetType(), JS::Value::UNDEFINED);
    EXPECT_EQ(HostSim::FromScriptValue(object), Line::parse(R"({"z": ["x", null, null, [1]], "a": {}})"));
}

TEST(PageBridge, MalformedOrTooDeepArgumentsAreRefusedNotGuessed) {
    for (const char* bad :
         {R"("text")", R"([])", R"(["i", 2147483648])", R"(["i", 1.5])", R"(["b", 1])", R"(["s", 5])",
          R"(["d", "many"])", R"(["u", 1])", R"(["o", [["k"]]])", R"(["x", 1])", R"(["a", "no list"])"})
        EXPECT_THROW(DecodeArgument(json::parse(bad)), std::invalid_argument) << bad;

    json deepest = json::array({"s", "bottom"});
    for (std::size_t i = 0; i < HostSim::MaxScriptValueDepth; ++i)
        deepest = json::array({"a", json::array({deepest})});
    EXPECT_NO_THROW(DecodeArgument(deepest));
    EXPECT_THROW(DecodeArgument(json::array({"a", json::array({deepest})})), std::invalid_argument);
}

TEST(PageBridge, CallPayloadsNeedAnIdAnObjectAndAFunction) {
    const auto call = ParseCall(R"({"id": 7, "object": "QUILAPI", "function": "AlertAPI", "arg": ["s", "hi"]})");
    ASSERT_TRUE(call.has_value());
    EXPECT_EQ(call->id, 7u);
    EXPECT_EQ(call->object, "QUILAPI");
    EXPECT_EQ(call->function, "AlertAPI");
    EXPECT_EQ(call->argument, json::parse(R"(["s", "hi"])"));
    const auto bare = ParseCall(R"({"id": 8, "object": "QUILAPI", "function": "GetApplicationInfo"})");
    ASSERT_TRUE(bare.has_value());
    EXPECT_FALSE(bare->argument.has_value()) << "called without an argument";

    for (const char* bad :
         {"not json", "[]", R"({"object": "Q", "function": "f"})", R"({"id": -1, "object": "Q", "function": "f"})",
          R"({"id": 1, "function": "f"})", R"({"id": 1, "object": "Q", "function": 3})"})
        EXPECT_FALSE(ParseCall(bad).has_value()) << bad;
}

TEST(PageBridge, SettlingScriptsCarryTheValueAsALiteralThePageCannotBreakOutOf) {
    const std::string resolve = HostSim::PageBridge::ResolveScript(3, Line{{"text", "a\u2028b\"); alert(1); (\""}});
    EXPECT_EQ(resolve.find('\xE2'), std::string::npos) << "no raw line separator inside the literal";
    EXPECT_NE(resolve.find("\\u2028"), std::string::npos);
    EXPECT_NE(resolve.find("settle(3, true, "), std::string::npos);
    const std::string reject = HostSim::PageBridge::RejectScript(4, "Bad cast.");
    EXPECT_NE(reject.find("settle(4, false, \"Bad cast.\")"), std::string::npos);
}

TEST(WebOrigin, SchemeHostAndPortAsTheBrowserNamesThem) {
    using HostSim::WebOrigin;
    EXPECT_EQ(WebOrigin("http://127.0.0.1:18480/app/index.html?x#y"), "http://127.0.0.1:18480");
    EXPECT_EQ(WebOrigin("HTTPS://User:pw@Example.COM:443/path"), "https://example.com") << "default port dropped";
    EXPECT_EQ(WebOrigin("http://example.com:80"), "http://example.com");
    EXPECT_EQ(WebOrigin("http://example.com:8080"), "http://example.com:8080");
    EXPECT_EQ(WebOrigin("http://[::1]:9000/a"), "http://[::1]:9000");
    EXPECT_EQ(WebOrigin("file:///tmp/page/index.html"), "file://");
    for (const char* opaque : {"about:blank", "data:text/html,hi", "javascript:1", "", "index.html", "http://",
                               "http://host:port/", "http:/host/"})
        EXPECT_EQ(WebOrigin(opaque), "") << opaque;
}

TEST(BrowserLines, WithoutAPageInABrowserEachLineSaysSoAndTheRunGoesOn) {
    const HostSimTest::Lines lines = HostSimTest::RunScenario(R"S({"menu": 32500, "item": 1}
{"evaluate": "1 + 1"}
{"click": "#go", "timeout": 1}
{"waitFor": "true", "timeout": -1}
{"screenshot": "<home>/x.png", "colour": true}
{"menu": 32500, "item": 1})S");
    const HostSimTest::Lines errors = HostSimTest::With(lines, "error");
    ASSERT_EQ(errors.size(), 4u) << HostSimTest::Dump(lines);
    EXPECT_EQ(errors[0]["error"],
              "evaluate: no page in a browser is open (hostsim --browser shows the palette's page in one)");
    EXPECT_EQ(errors[1]["error"],
              "click: no page in a browser is open (hostsim --browser shows the palette's page in one)");
    EXPECT_EQ(errors[2]["error"], "waitFor: \"timeout\" must be a number of seconds, not below 0");
    EXPECT_EQ(errors[3]["error"], "unknown key \"colour\" in a \"screenshot\" line");
    EXPECT_EQ(HostSimTest::Count(lines, nlohmann::json{{"unloaded", "FakeAddOn.apx"}}), 1);
}

} // namespace
