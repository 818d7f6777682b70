#include "JDOMStringWriter.hpp"
#include "JDOMStringParser.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using namespace JSON;

GS::UniString Compact(const ValueRef& value) {
    JDOMStringWriter writer(false, 10);
    writer.Write(value);
    return writer.GetString();
}

GS::UniString OfString(const GS::UniString& text) {
    return Compact(GS::NewRef<StringValue>(text));
}

GS::UniString OfNumber(double number) {
    return Compact(GS::NewRef<NumberValue>(number));
}

ValueRef Sample() {
    auto inner = GS::NewRef<ArrayValue>();
    inner->Add(GS::NewRef<BoolValue>(true));
    inner->Add(GS::NewRef<NullValue>());
    inner->Add(GS::NewRef<ObjectValue>());
    inner->Add(GS::NewRef<ArrayValue>());
    auto object = GS::NewRef<ObjectValue>();
    object->Add("z", 1);
    object->Add("a", inner);
    object->Add("m", "t");
    return object;
}

TEST(JDOMStringWriter, CompactKeepsMemberOrderWithoutWhitespace) {
    EXPECT_EQ(Compact(Sample()), R"({"z":1,"a":[true,null,{},[]],"m":"t"})");
}

TEST(JDOMStringWriter, EscapesAsTheStandardAsks) {
    EXPECT_EQ(OfString("say \"hi\""), R"("say \"hi\"")");
    EXPECT_EQ(OfString("C:\\dir"), R"("C:\\dir")");
    EXPECT_EQ(OfString("\b\f\n\r\t"), R"("\b\f\n\r\t")");
    EXPECT_EQ(OfString("\x01\x1F\x7F"), "\"\\u0001\\u001f\x7F\"");
    EXPECT_EQ(OfString(GS::UniString(std::u16string(u"a\0b", 3))), R"("a\u0000b")");
    EXPECT_EQ(OfString("a/b"), R"("a/b")");
    EXPECT_EQ(OfString(u"\u00E9\u4E2D\U0001F600"), GS::UniString(u"\"\u00E9\u4E2D\U0001F600\""));
    // A lone surrogate cannot be written as UTF-8; it becomes U+FFFD rather than broken text.
    EXPECT_EQ(OfString(std::u16string(u"\xD800")), GS::UniString(u"\"\uFFFD\""));

    auto keyed = GS::NewRef<ObjectValue>();
    keyed->Add("k\"\n", 0);
    EXPECT_EQ(Compact(keyed), R"({"k\"\n":0})");
}

TEST(JDOMStringWriter, NumbersAreShortestAndIntegralWithoutFraction) {
    EXPECT_EQ(OfNumber(3.0), "3");
    EXPECT_EQ(OfNumber(-3.0), "-3");
    EXPECT_EQ(OfNumber(0.0), "0");
    EXPECT_EQ(OfNumber(-0.0), "-0.0");
    EXPECT_EQ(OfNumber(0.1), "0.1");
    EXPECT_EQ(OfNumber(1.0 / 3.0), "0.3333333333333333");
    EXPECT_EQ(OfNumber(9007199254740992.0), "9007199254740992");
    EXPECT_EQ(OfNumber(1e21), "1e+21");
    EXPECT_EQ(OfNumber(std::numeric_limits<double>::quiet_NaN()), "null");
    EXPECT_EQ(OfNumber(std::numeric_limits<double>::infinity()), "null");
    EXPECT_EQ(OfNumber(-std::numeric_limits<double>::infinity()), "null");
}

TEST(JDOMStringWriter, NumbersReadBackBitForBit) {
    const JDOMStringParser parser;
    for (double number : {0.1, -0.0, 0.0, 1e-7, 5e-324, 1.7976931348623157e308, 123456.789, -2.5e-300, 1e15,
                          9007199254740993.0, 2.2250738585072014e-308}) {
        const double back = GS::CheckedCast<NumberValue>(parser.Parse(OfNumber(number)))->Get();
        EXPECT_EQ(std::memcmp(&back, &number, sizeof number), 0) << OfNumber(number);
    }
}

TEST(JDOMStringWriter, PrettyPrintIndentsByTheGivenWidth) {
    JDOMStringWriter two(true, 2);
    two.Write(Sample());
    EXPECT_EQ(two.GetString(),
              "{\n  \"z\": 1,\n  \"a\": [\n    true,\n    null,\n    {},\n    []\n  ],\n  \"m\": \"t\"\n}");

    JDOMStringWriter none(true, -3);
    auto array = GS::NewRef<ArrayValue>();
    array->Add(GS::NewRef<NumberValue>(1));
    none.Write(array);
    EXPECT_EQ(none.GetString(), "[\n1\n]");
}

TEST(JDOMStringWriter, WriteReplacesTheTextAndRefusesEmptyReference) {
    JDOMStringWriter writer(false, 10);
    EXPECT_TRUE(writer.GetString().IsEmpty());
    writer.Write(GS::NewRef<NullValue>());
    writer.Write(GS::NewRef<BoolValue>(false));
    EXPECT_EQ(writer.GetString(), "false");
    EXPECT_THROW(writer.Write(ValueRef()), GS::NullPointerException);
}

TEST(JDOMStringWriter, ParsedDocumentWritesBackCanonically) {
    const GS::UniString text(u" { \"b\" : [ 1 , 2.50 ] , \"a\" : { \"x\" : \"\\u00e9\\/\\u0007\" } , \"b\" : null } ");
    const GS::UniString canonical(u"{\"b\":null,\"a\":{\"x\":\"\u00E9/\\u0007\"}}");
    const JDOMStringParser parser;
    EXPECT_EQ(Compact(parser.Parse(text)), canonical);
    EXPECT_EQ(Compact(parser.Parse(canonical)), canonical);
}

TEST(JDOMStringWriter, DeepTreeIsWrittenWithoutRecursion) {
    ValueRef root = GS::NewRef<ArrayValue>();
    ValueRef innermost = root;
    const int depth = 200000;
    for (int i = 0; i < depth; ++i) {
        auto next = GS::NewRef<ArrayValue>();
        GS::CheckedCast<ArrayValue>(innermost)->Add(next);
        innermost = next;
    }
    const GS::UniString text = Compact(root);
    ASSERT_EQ(text.GetLength(), 2u * (depth + 1));
    EXPECT_EQ(text[depth], u'[');
    EXPECT_EQ(text[depth + 1], u']');
}

} // namespace
