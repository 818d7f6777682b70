#include "JDOMStringParser.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using namespace JSON;

ValueRef Parse(const GS::UniString& text) {
    return JDOMStringParser().Parse(text);
}

GS::UniString Repeat(const char* piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += piece;
    return GS::UniString(text);
}

double NumberOf(const char* text) {
    return GS::CheckedCast<NumberValue>(Parse(text))->Get();
}

GS::UniString StringOf(const GS::UniString& text) {
    return GS::CheckedCast<StringValue>(Parse(text))->Get();
}

TEST(JDOMStringParser, ReadsEveryKindOfValue) {
    auto object = GS::CheckedCast<ObjectValue>(Parse(R"( {"s":"t","n":-1.5,"b":true,"z":null,"a":[1,{}]} )"));
    ASSERT_FALSE(object.IsNull());
    EXPECT_EQ(object->GetAs<StringValue>("s")->Get(), "t");
    EXPECT_EQ(object->GetAs<NumberValue>("n")->Get(), -1.5);
    EXPECT_TRUE(object->GetAs<BoolValue>("b")->Get());
    EXPECT_EQ(object->Get("z")->GetType(), Value::Type::Null);
    auto array = object->GetAs<ArrayValue>("a");
    ASSERT_EQ(array->GetSize(), 2u);
    EXPECT_EQ(array->Get(1)->GetType(), Value::Type::Object);
    EXPECT_EQ(Parse("false")->GetType(), Value::Type::Bool);
}

TEST(JDOMStringParser, KeepsDocumentOrderAndLastDuplicateWins) {
    auto object = GS::CheckedCast<ObjectValue>(Parse(R"({"b":1,"a":2,"c":3,"a":4})"));
    std::string keys;
    for (const ObjectValue::Member& member : *object)
        keys += member.key.ToCStr().Get();
    EXPECT_EQ(keys, "bac");
    EXPECT_EQ(object->GetAs<NumberValue>("a")->Get(), 4.0);
}

TEST(JDOMStringParser, DecodesEscapesAndNonAscii) {
    EXPECT_EQ(StringOf(R"("\"\\\/\b\f\n\r\t\u0001\u001F")"), GS::UniString(u"\"\\/\b\f\n\r\t\u0001\u001F"));
    EXPECT_EQ(StringOf(R"("\u00e9\ud83d\ude00")"), GS::UniString(u"\u00E9\U0001F600"));
    EXPECT_EQ(StringOf(GS::UniString(u"\"\u00E9\u4E2D\U0001F600\"")), GS::UniString(u"\u00E9\u4E2D\U0001F600"));
    EXPECT_EQ(StringOf(R"("a\u0000b")"), GS::UniString(std::u16string(u"a\0b", 3)));
}

TEST(JDOMStringParser, MalformedTextBecomesReplacementCharactersOrIsRefused) {
    // Bad bytes are replaced when the text is made; the parser sees valid characters.
    EXPECT_EQ(StringOf(GS::UniString("\"\xFF\xC3\"")), GS::UniString(u"\uFFFD\uFFFD"));
    EXPECT_EQ(StringOf(GS::UniString(std::u16string(u"\"\xD800\""))), GS::UniString(u"\uFFFD"));
    // Escaped lone surrogates are not text.
    EXPECT_TRUE(Parse(R"("\ud800")").IsNull());
    EXPECT_TRUE(Parse(R"("\udc00x")").IsNull());
    EXPECT_TRUE(Parse(R"("\ud800\u0041")").IsNull());
}

TEST(JDOMStringParser, RefusesWhatIsNotExactlyOneValue) {
    for (const char* text :
         {"",      " ",        "[1] x",   "[1][2]",    "{} {}", "[1,]",    R"({"a":1,})", "{a:1}",    "['a']",
          "/**/1", "01",       "1.",      ".5",        "+1",    "-",       "NaN",         "Infinity", "tru",
          "nul",   "\"a\tb\"", R"("\x")", R"("\u12")", "[1",    "{\"a\"}", "{\"a\" 1}"}) {
        EXPECT_TRUE(Parse(text).IsNull()) << text;
    }
    EXPECT_TRUE(Parse(GS::UniString(std::u16string(u"[1]\0", 4))).IsNull());
    EXPECT_TRUE(Parse(GS::UniString(std::u16string(u"[1]\0[2]", 7))).IsNull());
    EXPECT_TRUE(Parse(GS::UniString(std::u16string(u"\"a\0\"", 4))).IsNull());
    EXPECT_FALSE(Parse(" \t\r\n[1] \n").IsNull());
}

TEST(JDOMStringParser, EveryPrefixOfADocumentIsRefused) {
    const GS::UniString document(
        u"{\"k\":[true,false,null,-12.5e-3,0,\"s\\\"\\u00e9\u00E9\U0001F600\",{\"n\":{}},[]],\"e\":\"\"}");
    ASSERT_FALSE(Parse(document).IsNull());
    for (USize length = 0; length < document.GetLength(); ++length) {
        EXPECT_TRUE(Parse(document.GetPrefix(length)).IsNull()) << length;
    }
}

TEST(JDOMStringParser, NestingIsLimited) {
    const int limit = static_cast<int>(JDOMStringParser::MaxDepth);
    EXPECT_FALSE(Parse(Repeat("[", limit) + Repeat("]", limit)).IsNull());
    EXPECT_TRUE(Parse(Repeat("[", limit + 1) + Repeat("]", limit + 1)).IsNull());
    EXPECT_FALSE(Parse(Repeat("{\"a\":", limit - 1) + "{}" + Repeat("}", limit - 1)).IsNull());
    EXPECT_TRUE(Parse(Repeat("{\"a\":", limit) + "{}" + Repeat("}", limit)).IsNull());
}

TEST(JDOMStringParser, HugeNestingIsRefused) {
    // Refused at the limit, however much follows and whether or not it is ever closed.
    EXPECT_TRUE(Parse(Repeat("[", 100000)).IsNull());
    EXPECT_TRUE(Parse(Repeat("[", 100000) + Repeat("]", 100000)).IsNull());
    EXPECT_TRUE(Parse(Repeat("{\"a\":", 100000)).IsNull());
    EXPECT_TRUE(Parse(Repeat("[{\"a\":", 100000) + "1" + Repeat("}]", 100000)).IsNull());
}

TEST(JDOMStringParser, Numbers) {
    EXPECT_EQ(NumberOf("0.1"), 0.1);
    EXPECT_EQ(NumberOf("1E2"), 100.0);
    EXPECT_EQ(NumberOf("-1e+2"), -100.0);
    EXPECT_EQ(NumberOf("1e-400"), 0.0);
    EXPECT_TRUE(std::signbit(NumberOf("-0.0")));
    EXPECT_EQ(NumberOf("-0"), 0.0);
    EXPECT_EQ(NumberOf("-9223372036854775808"), -9223372036854775808.0);
    EXPECT_EQ(NumberOf("18446744073709551615"), 18446744073709551615.0);
    EXPECT_EQ(NumberOf("1844674407370955161600"), 1844674407370955161600.0);
    // Integer and fraction forms of the same number read alike, even beyond 2^53.
    EXPECT_EQ(NumberOf("9007199254740993"), NumberOf("9007199254740993.0"));
    EXPECT_TRUE(Parse("1e400").IsNull());
    EXPECT_TRUE(Parse("[-1e400]").IsNull());
}

} // namespace
