#include "APIDefinitions.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(FourCharCode, FirstCharacterIsTheHighestByte) {
    static_assert(API_FourCharCode("GEIS") == 0x47454953u);
    EXPECT_EQ(API_FourCharCode("HAPR"), 0x48415052u);
    EXPECT_EQ(API_FourCharCode("GDCO"), 0x4744434Fu);
    EXPECT_EQ(API_FourCharCode("AEPM"), 0x4145504Du);
}

TEST(FourCharCode, TextShowsTheCharactersOrHexWhenNotPrintable) {
    EXPECT_EQ(API_FourCharCodeToText(0x47454953u), "GEIS");
    EXPECT_EQ(API_FourCharCodeToText(API_FourCharCode("ZTEL")), "ZTEL");
    EXPECT_EQ(API_FourCharCodeToText(API_FourCharCode("A B~")), "A B~"); // space and tilde are the printable ends
    EXPECT_EQ(API_FourCharCodeToText(0x00000001u), "0x00000001");
    EXPECT_EQ(API_FourCharCodeToText(0x4745491Fu), "0x4745491F");
    EXPECT_EQ(API_FourCharCodeToText(0x7F454953u), "0x7F454953");
    EXPECT_EQ(API_FourCharCodeToText(0x81060001u), "0x81060001");
}

TEST(ApiGuid, ConvertsFieldByFieldToAndFromGsGuid) {
    const GS::Guid palette("{7498d1c2-c932-48ec-b06c-98fb0cc9c1ee}");
    const API_Guid converted = GSGuid2APIGuid(palette);
    EXPECT_EQ(converted.time_low, 0x7498d1c2u);
    EXPECT_EQ(converted.time_mid, 0xc932u);
    EXPECT_EQ(converted.time_hi_and_version, 0x48ecu);
    EXPECT_EQ(converted.clock_seq_hi_and_reserved, 0xb0u);
    EXPECT_EQ(converted.clock_seq_low, 0x6cu);
    const UInt8 node[6] = {0x98, 0xfb, 0x0c, 0xc9, 0xc1, 0xee};
    EXPECT_EQ(std::memcmp(converted.node, node, 6), 0);
    EXPECT_EQ(APIGuid2GSGuid(converted), palette);
    EXPECT_EQ(APIGuid2GSGuid(converted).ToUniString().ToLowerCase(), "{7498d1c2-c932-48ec-b06c-98fb0cc9c1ee}");
    // Both have the Windows GUID layout, so records holding either can be copied bytewise.
    EXPECT_EQ(std::memcmp(&converted, &palette, 16), 0);
}

TEST(ApiGuid, NullAndRandomGuidsSurviveTheRoundTrip) {
    EXPECT_EQ(GSGuid2APIGuid(GS::Guid()), APINULLGuid);
    EXPECT_TRUE(APIGuid2GSGuid(APINULLGuid).IsNull());
    for (int i = 0; i < 20; ++i) {
        GS::Guid guid;
        guid.Generate();
        EXPECT_EQ(APIGuid2GSGuid(GSGuid2APIGuid(guid)), guid);
        EXPECT_NE(GSGuid2APIGuid(guid), APINULLGuid);
    }
}

TEST(ApiGuid, EqualityLooksAtEveryByte) {
    API_Guid a = GSGuid2APIGuid(GS::Guid("{7498d1c2-c932-48ec-b06c-98fb0cc9c1ee}"));
    API_Guid b = a;
    EXPECT_EQ(a, b);
    b.node[5] ^= 1;
    EXPECT_NE(a, b);
}

} // namespace
