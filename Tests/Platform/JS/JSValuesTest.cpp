#include "JSValues.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <type_traits>

namespace {

// Overload traps: none of these may quietly become a flag, an integer or a text.
static_assert(!std::is_constructible_v<JS::Value, Int64>);
static_assert(!std::is_constructible_v<JS::Value, UInt64>);
static_assert(!std::is_constructible_v<JS::Value, long>);
static_assert(!std::is_constructible_v<JS::Value, int*>);
static_assert(!std::is_constructible_v<JS::Value, const void*>);
static_assert(!std::is_constructible_v<JS::Value, std::nullptr_t>);
static_assert(!std::is_convertible_v<const char*, JS::Value>);

TEST(JSValue, ConstructorsPickTheIntendedTypeCode) {
    EXPECT_EQ(JS::Value().GetType(), 0);
    EXPECT_EQ(JS::Value(false).GetType(), 1);
    EXPECT_EQ(JS::Value(-4).GetType(), 2);
    EXPECT_EQ(JS::Value(Int16(-2)).GetInteger(), -2);
    EXPECT_EQ(JS::Value(UInt8(200)).GetInteger(), 200);
    EXPECT_EQ(JS::Value(4000000000u).GetType(), 3);
    EXPECT_EQ(JS::Value(4000000000u).GetUInteger(), 4000000000u);
    EXPECT_EQ(JS::Value(2.5f).GetType(), 4);
    EXPECT_EQ(JS::Value("").GetType(), 5);
    EXPECT_EQ(JS::Value("\xC3\xA9").GetString(), GS::UniString(u"\u00E9"));
    EXPECT_EQ(JS::Value(std::string("std")).GetString(), "std");
    EXPECT_EQ(JS::Value(u"wide").GetString(), "wide");
    EXPECT_TRUE(JS::Value(true).GetBool());
}

TEST(JSValue, GettersOfAnotherType) {
    EXPECT_FALSE(JS::Value(1).GetBool());
    EXPECT_TRUE(JS::Value(1).GetString().IsEmpty());
    EXPECT_EQ(JS::Value("1").GetInteger(), 0);
    EXPECT_EQ(JS::Value(true).GetDouble(), 0.0);
    EXPECT_EQ(JS::Value(-5).GetDouble(), -5.0);
    EXPECT_EQ(JS::Value(-2.9).GetInteger(), -2);
    EXPECT_EQ(JS::Value(1e10).GetInteger(), std::numeric_limits<Int32>::max());
    EXPECT_EQ(JS::Value(-1e10).GetInteger(), std::numeric_limits<Int32>::min());
    EXPECT_EQ(JS::Value(std::numeric_limits<double>::quiet_NaN()).GetInteger(), 0);
    EXPECT_EQ(JS::Value(4000000000u).GetInteger(), std::numeric_limits<Int32>::max());
    EXPECT_EQ(JS::Value(-1).GetUInteger(), 0u);
}

TEST(JSArray, KeepsItemsInOrder) {
    JS::Array array;
    array.AddItem(GS::NewRef<JS::Value>("a"));
    array.AddItem(GS::Ref<JS::Base>());
    array.AddItem(GS::NewRef<JS::Array>());
    array.AddItem(GS::NewRef<JS::Value>("b"));

    const auto& items = array.GetItemArray();
    ASSERT_EQ(items.GetSize(), 4u);
    EXPECT_EQ(GS::CheckedCast<JS::Value>(items[0])->GetString(), "a");
    EXPECT_TRUE(items[1].IsNull());
    EXPECT_THROW(GS::CheckedCast<JS::Value>(items[2]), GS::ClassCastException);
    EXPECT_EQ(GS::CheckedCast<JS::Value>(items[3])->GetString(), "b");
}

JS::Function::Callable Echo() {
    return [](GS::Ref<JS::Base> argument) { return argument; };
}

TEST(JSObject, KeepsOrderAndFindsItemsByName) {
    JS::Object object("QUILAPI");
    object.AddItem(GS::NewRef<JS::Function>("Second", Echo()));
    object.AddItem("first", GS::NewRef<JS::Value>(1));
    object.AddItem(GS::NewRef<JS::Function>("Third", Echo()));
    object.AddItem("first", GS::NewRef<JS::Value>(2));

    EXPECT_EQ(object.GetName(), "QUILAPI");
    EXPECT_TRUE(JS::Object().GetName().IsEmpty());
    const JS::Object::ItemTable& table = object.GetItemTable();
    ASSERT_EQ(table.GetSize(), 3u);
    EXPECT_EQ(table[0].first, "Second");
    EXPECT_EQ(table[1].first, "first");
    EXPECT_EQ(table[2].first, "Third");
    EXPECT_EQ(GS::CheckedCast<JS::Value>(object.GetItem("first"))->GetInteger(), 2);
    EXPECT_EQ(GS::CheckedCast<JS::Function>(object.GetItem("Third"))->GetName(), "Third");
    EXPECT_TRUE(object.GetItem("third").IsNull());
    EXPECT_THROW(object.AddItem(GS::Ref<JS::Function>()), GS::NullPointerException);
}

TEST(JSFunction, CallPassesArgumentAndResultThrough) {
    GS::Ref<JS::Base> seen;
    const GS::Ref<JS::Base> result = GS::NewRef<JS::Value>("result");
    const JS::Function function("Probe", [&](GS::Ref<JS::Base> argument) {
        seen = argument;
        return result;
    });
    const GS::Ref<JS::Base> argument = GS::NewRef<JS::Array>();

    EXPECT_EQ(function.GetName(), "Probe");
    EXPECT_EQ(function.Call(argument), result);
    EXPECT_EQ(seen, argument);
    EXPECT_TRUE(JS::Function("Echo", Echo()).Call(GS::Ref<JS::Base>()).IsNull());
}

TEST(JSFunction, ExceptionOfTheCallableReachesTheCaller) {
    const JS::Function function(
        "Decode", [](GS::Ref<JS::Base> argument) -> GS::Ref<JS::Base> { return GS::CheckedCast<JS::Value>(argument); });
    EXPECT_NO_THROW(function.Call(GS::NewRef<JS::Value>(1)));
    try {
        function.Call(GS::NewRef<JS::Object>());
        FAIL() << "no exception";
    } catch (const GS::ClassCastException& e) {
        EXPECT_EQ(e.GetMessage(), "Bad cast.");
    }
    EXPECT_THROW(JS::Function("Empty", JS::Function::Callable()), GS::IllegalArgumentException);
}

} // namespace
