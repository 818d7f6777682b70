#include "ValueToString.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

using GS::UniString;
using GS::valuetostr;

namespace {

std::string Text(double value) {
    return valuetostr(value).ToCStr().Get();
}

// The text must read back to the very same bits, and nothing shorter may do.
void ExpectShortestRoundTrip(double value) {
    const std::string text = Text(value);
    char* end = nullptr;
    const double back = std::strtod(text.c_str(), &end);
    ASSERT_EQ(*end, '\0') << text;
    EXPECT_EQ(std::bit_cast<UInt64>(back), std::bit_cast<UInt64>(value)) << text;
}

TEST(ValueToStringDouble, CommonValuesHaveTheirShortestForm) {
    EXPECT_EQ(Text(0.1), "0.1");
    EXPECT_EQ(Text(1.0), "1");
    EXPECT_EQ(Text(0.0), "0");
    EXPECT_EQ(Text(-0.0), "-0");
    EXPECT_EQ(Text(-2.5), "-2.5");
    EXPECT_EQ(Text(100.0), "100");
    EXPECT_EQ(Text(1e21), "1e+21");
    EXPECT_EQ(Text(1e-7), "1e-07");
    EXPECT_EQ(Text(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(Text(123456.789), "123456.789");
}

TEST(ValueToStringDouble, NonFiniteValues) {
    EXPECT_EQ(Text(std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(Text(-std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(Text(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(Text(-std::numeric_limits<double>::infinity()), "-inf");
}

TEST(ValueToStringDouble, ExtremesRoundTrip) {
    using L = std::numeric_limits<double>;
    EXPECT_EQ(Text(L::denorm_min()), "5e-324");
    EXPECT_EQ(Text(L::max()), "1.7976931348623157e+308");
    EXPECT_EQ(Text(L::lowest()), "-1.7976931348623157e+308");
    EXPECT_EQ(Text(L::min()), "2.2250738585072014e-308");
    for (const double v : {L::denorm_min(), L::max(), L::lowest(), L::min(), std::nextafter(L::min(), 0.0),
                           L::epsilon(), 1.0 + L::epsilon(), std::nextafter(1.0, 0.0)})
        ExpectShortestRoundTrip(v);
}

TEST(ValueToStringDouble, RandomBitPatternsRoundTrip) {
    std::mt19937_64 engine(20261209);
    for (int i = 0; i < 20000; ++i) {
        const double value = std::bit_cast<double>(engine());
        if (!std::isfinite(value)) continue;
        ExpectShortestRoundTrip(value);
    }
}

TEST(ValueToStringInteger, ExtremesOfEachWidth) {
    EXPECT_EQ(valuetostr(Int32{0}), UniString("0"));
    EXPECT_EQ(valuetostr(std::numeric_limits<Int32>::min()), UniString("-2147483648"));
    EXPECT_EQ(valuetostr(std::numeric_limits<UInt32>::max()), UniString("4294967295"));
    EXPECT_EQ(valuetostr(std::numeric_limits<Int64>::min()), UniString("-9223372036854775808"));
    EXPECT_EQ(valuetostr(std::numeric_limits<UInt64>::max()), UniString("18446744073709551615"));
}

TEST(ValueToStringInteger, OtherIntegerTypesKeepTheirValue) {
    EXPECT_EQ(valuetostr(-5LL), UniString("-5"));
    EXPECT_EQ(valuetostr(std::numeric_limits<unsigned long long>::max()), UniString("18446744073709551615"));
    EXPECT_EQ(valuetostr(static_cast<short>(-7)), UniString("-7"));
    EXPECT_EQ(valuetostr(static_cast<UInt16>(65535)), UniString("65535"));
    EXPECT_EQ(valuetostr(1), UniString("1")) << "an int literal is an integer, not a double";
}

} // namespace
