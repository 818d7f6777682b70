#include "ScriptArguments.hpp"

#include "GSException.hpp"

#include <gtest/gtest.h>

namespace {

GS::Ref<JS::Base> Str(const char* text) {
    return GS::NewRef<JS::Value>(text);
}
GS::Ref<JS::Base> Int(Int32 value) {
    return GS::NewRef<JS::Value>(value);
}
GS::Ref<JS::Base> Bool(bool value) {
    return GS::NewRef<JS::Value>(value);
}

GS::Ref<JS::Base> List(std::initializer_list<GS::Ref<JS::Base>> items) {
    GS::Ref<JS::Array> array = GS::NewRef<JS::Array>();
    for (const auto& item : items)
        array->AddItem(item);
    return array;
}

GS::Ref<JS::Base> Obj() {
    return GS::NewRef<JS::Object>();
}

TEST(DecodeStringArgument, OnlyStringValuesGiveTheirText) {
    EXPECT_EQ(DecodeStringArgument(Str("guid")), GS::UniString("guid"));
    EXPECT_TRUE(DecodeStringArgument(Int(5)).IsEmpty());
    EXPECT_TRUE(DecodeStringArgument(Bool(true)).IsEmpty());
    EXPECT_TRUE(DecodeStringArgument(GS::NewRef<JS::Value>(2.5)).IsEmpty());
    EXPECT_TRUE(DecodeStringArgument(GS::Ref<JS::Base>()).IsEmpty()) << "a missing argument";
}

TEST(DecodeStringArgument, ContainersAndFunctionsAreABadCast) {
    EXPECT_THROW(DecodeStringArgument(List({Str("a")})), GS::ClassCastException);
    EXPECT_THROW(DecodeStringArgument(Obj()), GS::ClassCastException);
    const GS::Ref<JS::Base> function =
        GS::NewRef<JS::Function>(GS::UniString("f"), [](GS::Ref<JS::Base>) { return GS::Ref<JS::Base>(); });
    EXPECT_THROW(DecodeStringArgument(function), GS::ClassCastException);
}

TEST(DecodeBoolAndIntegerArgument, WrongKindsAreNotDecodedAndLeaveTheValue) {
    bool flag = true;
    EXPECT_TRUE(DecodeBoolArgument(Bool(false), &flag));
    EXPECT_FALSE(flag);
    flag = true;
    EXPECT_FALSE(DecodeBoolArgument(Int(0), &flag));
    EXPECT_FALSE(DecodeBoolArgument(Str("false"), &flag));
    EXPECT_FALSE(DecodeBoolArgument(GS::Ref<JS::Base>(), &flag));
    EXPECT_TRUE(flag);
    EXPECT_THROW(DecodeBoolArgument(Obj(), &flag), GS::ClassCastException);

    Int32 number = 7;
    EXPECT_TRUE(DecodeIntegerArgument(Int(-3), &number));
    EXPECT_EQ(number, -3);
    EXPECT_FALSE(DecodeIntegerArgument(GS::NewRef<JS::Value>(4.0), &number)) << "a double is not an integer";
    EXPECT_FALSE(DecodeIntegerArgument(Str("4"), &number));
    EXPECT_EQ(number, -3);
}

TEST(DecodeStringListArgument, KeepsNonEmptyStringsInOrder) {
    EXPECT_EQ(DecodeStringListArgument(List({Str("a"), Str(""), Str("b")})), (GS::Array<GS::UniString>{"a", "b"}));
    EXPECT_EQ(DecodeStringListArgument(List({Int(1), Bool(true), Str("c")})), (GS::Array<GS::UniString>{"c"}));
    EXPECT_EQ(DecodeStringListArgument(List({GS::Ref<JS::Base>(), Str("d")})), (GS::Array<GS::UniString>{"d"}));
    EXPECT_TRUE(DecodeStringListArgument(List({})).IsEmpty());
}

TEST(DecodeStringListArgument, ASingleValueCountsAsAListOfIt) {
    EXPECT_EQ(DecodeStringListArgument(Str("only")), (GS::Array<GS::UniString>{"only"}));
    EXPECT_TRUE(DecodeStringListArgument(Str("")).IsEmpty());
    EXPECT_TRUE(DecodeStringListArgument(Int(3)).IsEmpty());
    EXPECT_TRUE(DecodeStringListArgument(GS::Ref<JS::Base>()).IsEmpty());
}

TEST(DecodeStringListArgument, ContainerItemsRaiseBadCast) {
    EXPECT_THROW(DecodeStringListArgument(List({Str("a"), Obj()})), GS::ClassCastException);
    EXPECT_THROW(DecodeStringListArgument(List({List({Str("a")})})), GS::ClassCastException);
    EXPECT_THROW(DecodeStringListArgument(Obj()), GS::ClassCastException);
}

TEST(ResultBuilders, BuildPlainValuesAndOrderedArrays) {
    const auto text = GS::DynamicCast<JS::Value>(MakeStringResult("x"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->GetType(), JS::Value::STRING);
    const auto flag = GS::DynamicCast<JS::Value>(MakeBoolResult(true));
    ASSERT_NE(flag, nullptr);
    EXPECT_EQ(flag->GetType(), JS::Value::BOOL);
    EXPECT_TRUE(flag->GetBool());

    const auto list = GS::DynamicCast<JS::Array>(MakeStringListResult({"b", "a", ""}));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetItemArray().GetSize(), 3u);
    EXPECT_EQ(GS::DynamicCast<JS::Value>(list->GetItemArray()[0])->GetString(), GS::UniString("b"));
    EXPECT_EQ(GS::DynamicCast<JS::Value>(list->GetItemArray()[2])->GetString(), GS::UniString(""));
}

} // namespace
