// The host's GlobalIds: the IFC compression of element GUIDs.

#include "IfcGlobalId.hpp"

#include "Guid.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using HostSim::IsIfcGlobalId;
using HostSim::MakeIfcGlobalId;

API_Guid FromText(const char* text) {
    return GSGuid2APIGuid(GS::Guid(text));
}

// The way back, written from the definition (22 digits of base 64, most significant first), not from the encoder.
API_Guid Decode(const std::string& globalId) {
    unsigned char bytes[16] = {};
    for (const char ch : globalId) {
        unsigned carry =
            static_cast<unsigned>(std::strchr(HostSim::IfcGlobalIdDigits, ch) - HostSim::IfcGlobalIdDigits);
        for (int i = 15; i >= 0; --i) {
            const unsigned value = static_cast<unsigned>(bytes[i]) * 64u + carry;
            bytes[i] = static_cast<unsigned char>(value & 0xFFu);
            carry = value >> 8;
        }
    }
    API_Guid guid;
    guid.time_low = (UInt32{bytes[0]} << 24) | (UInt32{bytes[1]} << 16) | (UInt32{bytes[2]} << 8) | bytes[3];
    guid.time_mid = static_cast<UInt16>((bytes[4] << 8) | bytes[5]);
    guid.time_hi_and_version = static_cast<UInt16>((bytes[6] << 8) | bytes[7]);
    guid.clock_seq_hi_and_reserved = bytes[8];
    guid.clock_seq_low = bytes[9];
    std::memcpy(guid.node, bytes + 10, 6);
    return guid;
}

TEST(IfcGlobalId, KnownPairs) {
    // Worked out by hand from the 128-bit value of each GUID's text.
    EXPECT_EQ(MakeIfcGlobalId(APINULLGuid), "0000000000000000000000");
    EXPECT_EQ(MakeIfcGlobalId(FromText("{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}")), "3$$$$$$$$$$$$$$$$$$$$$");
    EXPECT_EQ(MakeIfcGlobalId(FromText("{00000000-0000-0000-0000-000000000001}")), "0000000000000000000001");
    EXPECT_EQ(MakeIfcGlobalId(FromText("{00000000-0000-0000-0000-000000000040}")), "0000000000000000000010");
    EXPECT_EQ(MakeIfcGlobalId(FromText("{80000000-0000-0000-0000-000000000000}")), "2000000000000000000000");
    EXPECT_EQ(MakeIfcGlobalId(FromText("{3A1F0E52-7C44-4B0E-9D1A-2E6F8B0C4D11}")), "0w7mvIV4HB3fqQBc_B34qH");
    EXPECT_EQ(MakeIfcGlobalId(FromText("{01234567-89AB-CDEF-0123-456789ABCDEF}")), "018qLdYQlDxm4ZHMU9gytl");
    EXPECT_EQ(MakeIfcGlobalId(FromText("{11111111-2222-3333-4444-555555555555}")), "0H4H4H8Y8pCqH4LLLLLLLL");
}

TEST(IfcGlobalId, EveryBitRoundTripsAtItsPlace) {
    // One bit at a time: a field read in the wrong byte order or a group boundary off by one shows at once.
    for (int bit = 0; bit < 128; ++bit) {
        unsigned char bytes[16] = {};
        bytes[15 - bit / 8] = static_cast<unsigned char>(1u << (bit % 8));
        char text[40];
        std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                      bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                      bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
        const API_Guid guid = FromText(text);
        const std::string globalId = MakeIfcGlobalId(guid);
        ASSERT_TRUE(IsIfcGlobalId(globalId)) << text << " " << globalId;
        EXPECT_EQ(Decode(globalId), guid) << text << " " << globalId;
        // The bit is digit 21 - bit / 6 from the left, worth 2^(bit % 6).
        const std::size_t digit = 21 - static_cast<std::size_t>(bit / 6);
        EXPECT_EQ(globalId[digit], HostSim::IfcGlobalIdDigits[1 << (bit % 6)]) << text;
    }
}

TEST(IfcGlobalId, RandomGuidsRoundTrip) {
    for (int i = 0; i < 200; ++i) {
        GS::Guid random;
        random.Generate();
        const API_Guid guid = GSGuid2APIGuid(random);
        const std::string globalId = MakeIfcGlobalId(guid);
        ASSERT_EQ(globalId.size(), 22u);
        EXPECT_EQ(Decode(globalId), guid) << globalId;
    }
}

TEST(IfcGlobalId, RecognisesTheFormOnly) {
    EXPECT_TRUE(IsIfcGlobalId("0H4H4H8Y8pCqH4LLLLLLLL"));
    EXPECT_TRUE(IsIfcGlobalId("3$$$$$$$$$$$$$$$$$$$$$"));
    EXPECT_TRUE(IsIfcGlobalId("1a$_1a$_1a$_1a$_1a$_1a"));
    EXPECT_TRUE(IsIfcGlobalId("4Text0000000000000000D"));   // no compressed GUID, but readable ones are allowed
    EXPECT_FALSE(IsIfcGlobalId("000000000000000000000"));   // 21
    EXPECT_FALSE(IsIfcGlobalId("00000000000000000000000")); // 23
    EXPECT_FALSE(IsIfcGlobalId("000000000000000000000-"));
    EXPECT_FALSE(IsIfcGlobalId(std::string("00000000000\0"
                                           "0000000000",
                                           22)));
    EXPECT_FALSE(IsIfcGlobalId(""));
}

} // namespace
