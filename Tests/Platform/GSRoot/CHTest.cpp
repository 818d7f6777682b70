#include "CH.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Truncates into a buffer of destSize bytes surrounded by guard bytes, and checks the guards.
std::string Truncate(const char* source, Int32 destSize) {
    std::string buffer(static_cast<std::size_t>(destSize) + 2, '#');
    CHTruncate(source, buffer.data() + 1, destSize);
    EXPECT_EQ(buffer.front(), '#') << "wrote before the buffer";
    EXPECT_EQ(buffer.back(), '#') << "wrote past the buffer";
    return std::string(buffer.data() + 1);
}

// "ab€c": the euro sign is three bytes, bytes 2 to 4 (\x63 is "c", spelt so that it ends the escape).
const char* const Euro = "ab\xE2\x82\xAC\x63";
// A house emoji (four bytes) followed by "x".
const char* const HouseX = "\xF0\x9F\x8F\xA0\x78";

TEST(CHTruncate, ShortTextIsCopiedWhole) {
    EXPECT_EQ(Truncate("abc", 4), "abc");
    EXPECT_EQ(Truncate("abc", 100), "abc");
    EXPECT_EQ(Truncate("", 1), "");
    EXPECT_EQ(Truncate(Euro, 7), Euro);
}

TEST(CHTruncate, AsciiIsCutAtDestSizeMinusOne) {
    EXPECT_EQ(Truncate("abcdef", 4), "abc");
    EXPECT_EQ(Truncate("abcdef", 1), "");
}

TEST(CHTruncate, MultiByteCharacterStraddlingTheLimitIsLeftOut) {
    EXPECT_EQ(Truncate(Euro, 3), "ab");             // room for the lead byte only
    EXPECT_EQ(Truncate(Euro, 4), "ab");             // one of the continuation bytes would fit
    EXPECT_EQ(Truncate(Euro, 5), "ab");             // all but the last byte would fit
    EXPECT_EQ(Truncate(Euro, 6), "ab\xE2\x82\xAC"); // exactly fits; the "c" does not
    EXPECT_EQ(Truncate(HouseX, 4), "");             // a four-byte character at the start
    EXPECT_EQ(Truncate(HouseX, 5), "\xF0\x9F\x8F\xA0");
    EXPECT_EQ(Truncate("\xC3\xA9\xC3\xA9", 4), "\xC3\xA9"); // é é: the second does not fit
}

TEST(CHTruncate, MalformedBytesAreCutWhereTheyAre) {
    // Continuation bytes without a lead byte belong to no character: nothing to keep whole.
    EXPECT_EQ(Truncate("a\x80\x80\x80\x80\x80", 4), "a\x80\x80");
    // A lead byte whose sequence is complete before the limit is not dropped for stray bytes after it.
    EXPECT_EQ(Truncate("\xC3\xA9\x80\x80", 3), "\xC3\xA9");
}

TEST(CHTruncate, NothingIsWrittenWithoutRoom) {
    char buffer[4] = {'x', 'y', 'z', '\0'};
    CHTruncate("abc", buffer, 0);
    CHTruncate("abc", buffer, -5);
    EXPECT_STREQ(buffer, "xyz");
    CHTruncate("abc", nullptr, 4); // must not crash
}

TEST(CHTruncate, NullSourceGivesTheEmptyText) {
    EXPECT_EQ(Truncate(nullptr, 8), "");
}

TEST(CHTruncate, WorksInPlace) {
    char text[16];
    std::strcpy(text, Euro);
    CHTruncate(text, text, 6);
    EXPECT_STREQ(text, "ab\xE2\x82\xAC");
    CHTruncate(text, text, 5);
    EXPECT_STREQ(text, "ab");
}

TEST(CHTruncate, UnterminatedSourceIsReadNoFurtherThanNeeded) {
    // Exactly destSize bytes without a terminator: the copy must stop at the limit.
    const char bytes[4] = {'a', 'b', 'c', 'd'};
    char dest[4];
    CHTruncate(bytes, dest, 4);
    EXPECT_STREQ(dest, "abc");
}

} // namespace
