#include "ScriptValues.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

using HostSim::FromScriptValue;
using HostSim::Line;
using HostSim::ToScriptValue;

GS::Ref<JS::Value> AsValue(const GS::Ref<JS::Base>& value) {
    auto plain = GS::DynamicCast<JS::Value>(value);
    EXPECT_FALSE(plain.IsNull());
    return plain;
}

TEST(ScriptValues, PlainJsonValuesBecomeValuesOfTheirType) {
    EXPECT_EQ(AsValue(ToScriptValue(Line("text")))->GetType(), JS::Value::STRING);
    EXPECT_EQ(AsValue(ToScriptValue(Line("Grüße")))->GetString(), GS::UniString("Grüße", CC_UTF8));
    EXPECT_EQ(AsValue(ToScriptValue(Line(true)))->GetType(), JS::Value::BOOL);
    EXPECT_TRUE(AsValue(ToScriptValue(Line(true)))->GetBool());
    EXPECT_EQ(AsValue(ToScriptValue(Line(-7)))->GetType(), JS::Value::INTEGER);
    EXPECT_EQ(AsValue(ToScriptValue(Line(-7)))->GetInteger(), -7);
    EXPECT_EQ(AsValue(ToScriptValue(Line(2.5)))->GetType(), JS::Value::DOUBLE);
    EXPECT_TRUE(ToScriptValue(Line(nullptr)).IsNull());
}

TEST(ScriptValues, OnlyNumbersWrittenWithoutFractionThatFit32BitsAreIntegers) {
    EXPECT_EQ(AsValue(ToScriptValue(Line::parse("2.0")))->GetType(), JS::Value::DOUBLE);
    EXPECT_EQ(AsValue(ToScriptValue(Line::parse("1e2")))->GetType(), JS::Value::DOUBLE);
    EXPECT_EQ(AsValue(ToScriptValue(Line::parse("2147483647")))->GetType(), JS::Value::INTEGER);
    EXPECT_EQ(AsValue(ToScriptValue(Line::parse("-2147483648")))->GetInteger(), std::numeric_limits<Int32>::min());
    const auto tooLarge = AsValue(ToScriptValue(Line::parse("2147483648")));
    EXPECT_EQ(tooLarge->GetType(), JS::Value::DOUBLE);
    EXPECT_EQ(tooLarge->GetDouble(), 2147483648.0);
    EXPECT_EQ(AsValue(ToScriptValue(Line::parse("-2147483649")))->GetType(), JS::Value::DOUBLE);
}

TEST(ScriptValues, ArraysAndObjectsKeepOrderAndNesting) {
    const Line json = Line::parse(R"S({"b": [1, "x", null], "a": {"deep": false}})S");
    const auto object = GS::DynamicCast<JS::Object>(ToScriptValue(json));
    ASSERT_FALSE(object.IsNull());
    EXPECT_TRUE(object->GetName().IsEmpty());
    ASSERT_EQ(object->GetItemTable().GetSize(), 2u);
    EXPECT_EQ(object->GetItemTable()[0].first, "b"); // as written, not sorted
    const auto array = GS::DynamicCast<JS::Array>(object->GetItem("b"));
    ASSERT_FALSE(array.IsNull());
    ASSERT_EQ(array->GetItemArray().GetSize(), 3u);
    EXPECT_EQ(AsValue(array->GetItemArray()[1])->GetString(), "x");
    EXPECT_TRUE(array->GetItemArray()[2].IsNull());
    EXPECT_FALSE(GS::DynamicCast<JS::Object>(object->GetItem("a")).IsNull());
}

TEST(ScriptValues, ResultsComeBackAsJsonOfTheirKind) {
    EXPECT_EQ(FromScriptValue(GS::Ref<JS::Base>()), Line(nullptr));
    EXPECT_EQ(FromScriptValue(GS::NewRef<JS::Value>()), Line(nullptr));
    EXPECT_EQ(FromScriptValue(GS::NewRef<JS::Value>(false)), Line(false));
    EXPECT_EQ(FromScriptValue(GS::NewRef<JS::Value>(Int32{-3})), Line(-3));
    EXPECT_EQ(FromScriptValue(GS::NewRef<JS::Value>(UInt32{4000000000u})), Line(4000000000u));
    EXPECT_EQ(FromScriptValue(GS::NewRef<JS::Value>(0.25)), Line(0.25));
    EXPECT_TRUE(FromScriptValue(GS::NewRef<JS::Value>(1.0)).is_number_float());
    EXPECT_EQ(FromScriptValue(GS::NewRef<JS::Value>(GS::UniString("✓", CC_UTF8))), Line("✓"));

    auto function = GS::NewRef<JS::Function>("F", [](GS::Ref<JS::Base> a) { return a; });
    EXPECT_EQ(FromScriptValue(function), Line::parse(R"S({"function": "F"})S"));
}

TEST(ScriptValues, RoundTripKeepsStructure) {
    const Line json = Line::parse(R"S([{"z": 1, "a": [true, 2.5, "s", null, []]}, {}])S");
    EXPECT_EQ(FromScriptValue(ToScriptValue(json)).dump(), json.dump());
}

// "[[...[1]...]]" with `levels` arrays; parsing needs no recursion, so any depth can be written.
Line Nested(std::size_t levels) {
    return Line::parse(std::string(levels, '[') + "1" + std::string(levels, ']'));
}

TEST(ScriptValues, NestingDepthCountsArraysAndObjectsAndStopsPastTheLimit) {
    using HostSim::NestingDepth;
    EXPECT_EQ(NestingDepth(Line(3)), 0u);
    EXPECT_EQ(NestingDepth(Line::array()), 1u);
    EXPECT_EQ(NestingDepth(Line::parse(R"S([1, {"a": [[]]}, []])S")), 4u);
    EXPECT_EQ(NestingDepth(Nested(100), 1000), 100u);
    EXPECT_EQ(NestingDepth(Nested(100'000), 10), 11u);
}

TEST(ScriptValues, ValuesUpToTheDepthLimitConvertDeeperOnesAreRefused) {
    const std::size_t limit = HostSim::MaxScriptValueDepth;
    const Line deepest = Nested(limit);
    EXPECT_EQ(FromScriptValue(ToScriptValue(deepest)), deepest);
    for (const std::size_t levels : {limit + 1, std::size_t{6'000}, std::size_t{100'000}})
        EXPECT_THROW(ToScriptValue(Nested(levels)), std::invalid_argument) << levels;
}

} // namespace
