#include "Guid.hpp"

#include <gtest/gtest.h>

#include <set>
#include <unordered_set>

using GS::Guid;
using GS::UniString;

namespace {

const char* const PaletteText = "{7498d1c2-c932-48ec-b06c-98fb0cc9c1ee}";

TEST(GuidText, ParsesLowerCaseWithBracesAndWritesUpperCase) {
    const Guid guid(PaletteText);
    EXPECT_EQ(guid.Data1, 0x7498D1C2u);
    EXPECT_EQ(guid.Data2, 0xC932u);
    EXPECT_EQ(guid.Data3, 0x48ECu);
    const UInt8 data4[8] = {0xB0, 0x6C, 0x98, 0xFB, 0x0C, 0xC9, 0xC1, 0xEE};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(guid.Data4[i], data4[i]) << "byte " << i;
    EXPECT_EQ(guid.ToUniString(), UniString("{7498D1C2-C932-48EC-B06C-98FB0CC9C1EE}"));
    EXPECT_EQ(Guid(guid.ToUniString()), guid);
}

TEST(GuidText, AcceptsTextWithoutBracesAndMixedCase) {
    EXPECT_EQ(Guid("7498D1C2-c932-48Ec-B06C-98fb0cc9c1EE"), Guid(PaletteText));
    EXPECT_FALSE(Guid("00000000-0000-0000-0000-000000000001").IsNull());
    EXPECT_EQ(Guid("00000000-0000-0000-0000-000000000001").Data4[7], 1);
}

TEST(GuidText, LeadingZerosAreWritten) {
    const Guid guid(0x1u, 0x2u, 0x3u, {0, 0x4, 0, 0, 0, 0, 0, 0x5});
    EXPECT_EQ(guid.ToUniString(), UniString("{00000001-0002-0003-0004-000000000005}"));
    EXPECT_EQ(Guid().ToUniString(), UniString("{00000000-0000-0000-0000-000000000000}"));
}

TEST(GuidText, MalformedTextsGiveTheNullGuid) {
    const char* const invalid[] = {
        "",
        "{7498d1c2-c932-48ec-b06c-98fb0cc9c1e}",   // one digit short
        "{7498d1c2-c932-48ec-b06c-98fb0cc9c1eee}", // one digit too many
        "{7498d1c2-c932-48ec-b06c-98fb0cc9c1eg}",  // not a hex digit
        "{7498d1c2c932-48ec-b06c-98fb0cc9c1ee0}",  // dash missing, length kept
        "{7498d1c2-c932-48ec-b06c+98fb0cc9c1ee}",  // wrong separator
        "7498d1c2-c932-48ec-b06c-98fb0cc9c1ee}",   // one brace only
        "(7498d1c2-c932-48ec-b06c-98fb0cc9c1ee)",  // other brackets
        " 7498d1c2-c932-48ec-b06c-98fb0cc9c1ee ",  // spaces are not trimmed
        "7498d1c2-c932-48ec-b06c-98fb0cc9c1e ",
        "{7498d1c2-c932-48ec-b06c-98fb0cc9c1\xC3\xA9}", // non-ASCII letter where a digit belongs
    };
    for (const char* text : invalid) {
        EXPECT_TRUE(Guid(text).IsNull()) << text;
        Guid target(PaletteText);
        EXPECT_FALSE(Guid::TryParse(UniString(text), target)) << text;
        EXPECT_TRUE(target.IsNull()) << "a failed parse must not leave the old value: " << text;
    }
    EXPECT_TRUE(Guid(static_cast<const char*>(nullptr)).IsNull());
}

TEST(GuidText, TryParseReportsSuccess) {
    Guid target;
    EXPECT_TRUE(Guid::TryParse(UniString(PaletteText), target));
    EXPECT_EQ(target, Guid(PaletteText));
    EXPECT_TRUE(target.ConvertFromString("{00000000-0000-0000-0000-000000000000}"));
    EXPECT_TRUE(target.IsNull());
    target.Generate();
    target.SetNull();
    EXPECT_EQ(target, Guid());
}

TEST(GuidValue, GeneratedGuidsAreVersion4AndDistinct) {
    std::set<Guid> seen;
    for (int i = 0; i < 1000; ++i) {
        Guid guid;
        guid.Generate();
        EXPECT_EQ(guid.Data3 >> 12, 4) << guid.ToUniString();
        EXPECT_EQ(guid.Data4[0] & 0xC0, 0x80) << guid.ToUniString();
        EXPECT_EQ(guid.ToUniString()[15], u'4');
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(GuidValue, OrderFollowsTheTextForm) {
    // Data1 decides first, then Data2, Data3 and the bytes of Data4, as the text reads left to right.
    const char* const ascending[] = {
        "{00000000-0000-0000-0000-0000000000FF}", "{00000000-0000-0000-0001-000000000000}",
        "{00000000-0000-0001-0000-000000000000}", "{00000000-0001-0000-0000-000000000000}",
        "{000000FF-0000-0000-0000-000000000000}", "{00000100-0000-0000-0000-000000000000}",
        "{FFFFFFFF-0000-0000-0000-000000000000}",
    };
    for (std::size_t i = 0; i + 1 < std::size(ascending); ++i) {
        const Guid a(ascending[i]);
        const Guid b(ascending[i + 1]);
        EXPECT_LT(a, b) << ascending[i] << " < " << ascending[i + 1];
        EXPECT_LT(a.ToUniString(), b.ToUniString());
        EXPECT_NE(a, b);
    }
}

TEST(GuidValue, HashSeparatesAndMatchesEquality) {
    std::unordered_set<Guid> set;
    set.insert(Guid(PaletteText));
    set.insert(Guid("{7498D1C2-C932-48EC-B06C-98FB0CC9C1EE}"));
    set.insert(Guid());
    set.insert(Guid("{7498d1c2-c932-48ec-b06c-98fb0cc9c1ef}"));
    EXPECT_EQ(set.size(), 3u);
    EXPECT_EQ(std::hash<Guid>{}(Guid(PaletteText)), std::hash<Guid>{}(Guid(PaletteText)));
}

TEST(GuidMemory, WordsAreTheBytesAsStored) {
    const Guid guid(PaletteText);
    const std::array<UInt32, 4> words = guid.GetMemoryWords();
    // Data1 is one word; Data3:Data2 the next (little-endian memory); Data4 the last two, byte 0 lowest.
    EXPECT_EQ(words[0], 0x7498D1C2u);
    EXPECT_EQ(words[1], 0x48ECC932u);
    EXPECT_EQ(words[2], 0xFB986CB0u);
    EXPECT_EQ(words[3], 0xEEC1C90Cu);
    EXPECT_EQ(Guid().GetMemoryWords(), (std::array<UInt32, 4>{0, 0, 0, 0}));
}

} // namespace
