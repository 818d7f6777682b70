#include "UniString.hpp"
#include "GSException.hpp"

#include <gtest/gtest.h>

using GS::UniString;

namespace {

TEST(UniStringConversion, NonAsciiTextSurvivesTheRoundTripThroughBytes) {
    const char* utf8 = "Gr\xC3\xBC\xC3\x9F"
                       "e \xE2\x82\xAC \xF0\x9F\x8F\xA0 \xE6\xBC\xA2"; // Grüße € 🏠 漢
    const UniString text(utf8);
    EXPECT_EQ(text.GetLength(), 12u); // the house is two UTF-16 units
    EXPECT_EQ(text[2], u'\u00FC');
    EXPECT_STREQ(text.ToCStr().Get(), utf8);
    EXPECT_STREQ(text.ToCStr(CC_UTF8).Get(), utf8);
    EXPECT_EQ(UniString(text.ToCStr().Get()), text);
}

TEST(UniStringConversion, MalformedBytesBecomeReplacementCharacters) {
    const UniString truncated("ab\xE2\x82"); // a three-byte sequence cut short
    const UniString overlong("\xC0\xAF"
                             "x"); // overlong encoding of '/'
    EXPECT_EQ(truncated.GetLength(), 4u);
    EXPECT_EQ(truncated[2], u'\uFFFD');
    EXPECT_EQ(overlong[0], u'\uFFFD');
    EXPECT_EQ(overlong.GetLast(), u'x');
}

TEST(UniStringConversion, ByteCountConstructorStopsAtTheCountAndKeepsEmbeddedText) {
    const char bytes[] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(UniString(bytes, 3, CC_Default), UniString("abc"));
    EXPECT_TRUE(UniString(static_cast<const char*>(nullptr)).IsEmpty());
}

TEST(UniStringConversion, LoneSurrogateIsEncodedAsReplacement) {
    const UniString lone(std::u16string{u'a', char16_t(0xD800), u'b'});
    EXPECT_STREQ(lone.ToCStr().Get(), "a\xEF\xBF\xBD"
                                      "b");
}

TEST(UniStringSearch, FindFirstAndLastReportPositionsOrNotFound) {
    const UniString path("C:\\Users\\me\\GRAPHISOFT\\x\\GRAPHISOFT");
    EXPECT_EQ(path.FindFirst("GRAPHISOFT"), 12u);
    EXPECT_EQ(path.FindLast("GRAPHISOFT"), 25u);
    EXPECT_EQ(path.FindFirst("GRAPHISOFT", 13), 25u);
    EXPECT_EQ(path.FindFirst("graphisoft"), MaxUIndex);
    EXPECT_EQ(path.FindFirst("graphisoft", 0, GS::CaseInsensitive), 12u);
    EXPECT_EQ(path.FindFirst("x", 1000), MaxUIndex);
    EXPECT_EQ(path.FindFirst(u'\\'), 2u);
    EXPECT_EQ(path.FindLast(u'\\'), 24u);
    EXPECT_TRUE(path.BeginsWith("C:"));
    EXPECT_TRUE(path.EndsWith("soft", GS::CaseInsensitive));
    EXPECT_FALSE(UniString("a").EndsWith("ab"));
}

TEST(UniStringEdit, ReplaceAllReplacesEveryOccurrenceWithoutRescanningTheReplacement) {
    UniString stamp("2026-12-09T07:45:29");
    EXPECT_EQ(stamp.ReplaceAll(":", "_"), 2u);
    EXPECT_EQ(stamp, UniString("2026-12-09T07_45_29"));

    UniString grow("aa");
    EXPECT_EQ(grow.ReplaceAll("a", "aa"), 2u);
    EXPECT_EQ(grow, UniString("aaaa"));

    UniString unchanged("abc");
    EXPECT_EQ(unchanged.ReplaceAll("", "x"), 0u);
    EXPECT_EQ(unchanged.ReplaceAll("z", "x"), 0u);
    EXPECT_EQ(unchanged, UniString("abc"));
}

TEST(UniStringEdit, ReplaceLastKeepsFolderAndExtension) {
    UniString path("/out/2026-12-09T07_45_29/2026-12-09T07_45_29.pdf");
    EXPECT_TRUE(path.ReplaceLast("2026-12-09T07_45_29", "Plan"));
    EXPECT_EQ(path, UniString("/out/2026-12-09T07_45_29/Plan.pdf"));
    EXPECT_FALSE(path.ReplaceLast("nothing", "x"));
}

TEST(UniStringEdit, SubstringsAreClampedToTheText) {
    const UniString text("Quillmar");
    EXPECT_EQ(text.GetSubstring(2, 3), UniString("ill"));
    EXPECT_EQ(text.GetSubstring(5, 100), UniString("mar"));
    EXPECT_TRUE(text.GetSubstring(8, 1).IsEmpty());
    EXPECT_EQ(text.GetPrefix(100), text);
    EXPECT_EQ(text.GetSuffix(3), UniString("mar"));
    EXPECT_THROW(text[8], GS::IndexOutOfRangeException);
    EXPECT_THROW(UniString().GetLast(), GS::IndexOutOfRangeException);
}

TEST(UniStringCompare, CaseInsensitiveComparisonFoldsAsciiAndLatin1) {
    EXPECT_TRUE(UniString("GER").IsEqual("ger", GS::CaseInsensitive));
    EXPECT_FALSE(UniString("GER").IsEqual("ger"));
    EXPECT_TRUE(UniString("\xC3\x84RGER").IsEqual("\xC3\xA4rger", GS::CaseInsensitive)); // Ärger
    EXPECT_LT(UniString("a").Compare("b"), 0);
    EXPECT_GT(UniString("b").Compare("a"), 0);
    EXPECT_EQ(UniString("Ab").Compare("aB", GS::CaseInsensitive), 0);
    EXPECT_TRUE(UniString("abc") < UniString("abd"));
}

TEST(UniStringFormat, PrintfFormatsTextsAndNumbers) {
    const UniString base("https://api.example/api");
    EXPECT_EQ(UniString::Printf("%s/document?folderId=%s", base, "f1"),
              UniString("https://api.example/api/document?folderId=f1"));
    EXPECT_EQ(UniString::Printf("%d,%u,%x,%05.1f,%%", -7, 42u, 255, 3.14159), UniString("-7,42,ff,003.1,%"));
    EXPECT_EQ(UniString::Printf("%s", UniString("\xE2\x82\xAC")), UniString("\xE2\x82\xAC"));
    EXPECT_EQ(UniString::Printf("[%4s|%-4s|%.2s]", "ab", "cd", "efgh"), UniString("[  ab|cd  |ef]"));
    EXPECT_EQ(UniString::Printf("%lld %ld", Int64(1) << 40, 5L), UniString("1099511627776 5"));
    EXPECT_EQ(UniString::Printf("missing %s"), UniString("missing "));
}

TEST(UniStringEdit, TrimInsertDeleteAndCase) {
    UniString s("  Quill mar \t\n");
    EXPECT_EQ(s.Trim(), UniString("Quill mar"));
    s.Delete(5, 1);
    EXPECT_EQ(s, UniString("Quillmar"));
    s.Insert(0, ">");
    EXPECT_EQ(s, UniString(">Quillmar"));
    EXPECT_THROW(s.Insert(100, "x"), GS::IndexOutOfRangeException);
    EXPECT_EQ(s.ToUpperCase(), UniString(">QUILLMAR"));
    EXPECT_EQ(s.ToLowerCase(), UniString(">quillmar"));
    s.Truncate(3);
    EXPECT_EQ(s, UniString(">Qu"));
}

TEST(GSException, MessagesAreTheHostTexts) {
    EXPECT_EQ(GS::NullPointerException().GetMessage(), UniString("Null pointer."));
    EXPECT_STREQ(GS::ClassCastException().what(), "Bad cast.");
    try {
        throw GS::ClassCastException();
    } catch (const GS::Exception& e) {
        EXPECT_EQ(e.GetMessage(), UniString("Bad cast."));
    }
}

} // namespace
