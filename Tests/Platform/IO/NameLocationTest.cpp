#include "Location.hpp"
#include "Name.hpp"

#include <gtest/gtest.h>

using GS::UniString;
using IO::Location;
using IO::Name;

namespace {

UniString PathOf(const Location& location) {
    UniString path;
    EXPECT_EQ(location.ToPath(&path), NoError);
    return path;
}

TEST(Name, ExtensionIsTheTextAfterTheLastDotButNotALeadingOrTrailingDot) {
    struct Case {
        const char* name;
        const char* extension;
        const char* base;
    };
    const Case cases[] = {{"model.ifc", "ifc", "model"},
                          {"archive.tar.gz", "gz", "archive.tar"},
                          {".profile", "", ".profile"},
                          {"name.", "", "name."},
                          {"plain", "", "plain"},
                          {"..x", "x", "."},
                          {".a.b", "b", ".a"},
                          {"Gr\xC3\xBC\xC3\x9F"
                           "e.d\xC3\xBC",
                           "d\xC3\xBC",
                           "Gr\xC3\xBC\xC3\x9F"
                           "e"}};
    for (const Case& c : cases) {
        const Name name(c.name);
        EXPECT_EQ(name.GetExtension(), UniString(c.extension)) << c.name;
        EXPECT_EQ(name.GetBase(), UniString(c.base)) << c.name;
        Name stripped = name;
        EXPECT_EQ(stripped.DeleteExtension().ToString(), UniString(c.base)) << c.name;
        if (name.HasExtension()) {
            EXPECT_EQ(name.GetBase() + "." + name.GetExtension(), name.ToString());
        }
    }
    EXPECT_EQ(Name("plan").AppendExtension("pdf").ToString(), "plan.pdf");
    EXPECT_EQ(Name("plan").AppendExtension("").ToString(), "plan");
}

TEST(Name, LegalNamesCannotLeaveTheirFolder) {
    for (const char* legal : {"a", "a b.ifc", "...", ".hidden", "\xE6\xBC\xA2"})
        EXPECT_TRUE(Name(legal).IsLegal()) << legal;
    for (const char* illegal : {"", ".", "..", "a/b", "a\\b", "/", "\\"})
        EXPECT_FALSE(Name(illegal).IsLegal()) << illegal;
    EXPECT_FALSE(Name(UniString(std::u16string(u"a\0b", 3))).IsLegal());
}

TEST(LocationText, BackslashesAndSlashesSeparateAlikeAndPathTextsUseSlashes) {
    const Location windowsBorn("/tmp\\Quillmar\\\\ArchiCAD\\");
    EXPECT_EQ(PathOf(windowsBorn), "/tmp/Quillmar/ArchiCAD");
    EXPECT_TRUE(windowsBorn == Location("/tmp/Quillmar/ArchiCAD"));
    EXPECT_EQ(PathOf(Location("\\")), "/");
    EXPECT_EQ(PathOf(Location("rel\\a")), "rel/a");
    UniString display;
    EXPECT_EQ(windowsBorn.ToDisplayText(&display), NoError);
    EXPECT_EQ(display, "/tmp/Quillmar/ArchiCAD");
}

TEST(LocationText, SetRefusesEmptyTextAndNulAndKeepsTheOldValue) {
    Location location("/keep");
    EXPECT_EQ(location.Set(""), IO::BadNameErr);
    EXPECT_EQ(location.Set(UniString(std::u16string(u"/a\0b", 4))), IO::BadNameErr);
    EXPECT_EQ(PathOf(location), "/keep");
    EXPECT_TRUE(Location("").IsEmpty());
    UniString path("untouched");
    EXPECT_EQ(Location().ToPath(&path), IO::BadNameErr);
    EXPECT_EQ(path, "untouched");
}

TEST(LocationLocalNames, AppendRefusesNamesThatWouldLeaveTheFolder) {
    Location folder("/data/resources");
    for (const char* bad : {"..", ".", "a/b", "a\\b", ""}) {
        EXPECT_EQ(folder.AppendToLocal(Name(bad)), IO::BadNameErr) << bad;
        EXPECT_EQ(PathOf(folder), "/data/resources") << bad;
    }
    EXPECT_EQ(folder.AppendToLocal(Name("model.ifc")), NoError);
    EXPECT_EQ(PathOf(folder), "/data/resources/model.ifc");

    Location root("/");
    EXPECT_EQ(root.AppendToLocal(Name("x")), NoError);
    EXPECT_EQ(PathOf(root), "/x");
    Location empty;
    EXPECT_EQ(empty.AppendToLocal(Name("x")), NoError);
    EXPECT_EQ(PathOf(empty), "x");
}

TEST(LocationLocalNames, LastNameIsReadAndDeletedDownToTheRoot) {
    Location location("/a/b.ifc");
    Name last;
    EXPECT_EQ(location.GetLastLocalName(&last), NoError);
    EXPECT_EQ(last.ToString(), "b.ifc");
    EXPECT_EQ(location.DeleteLastLocalName(), NoError);
    EXPECT_EQ(PathOf(location), "/a");
    EXPECT_EQ(location.DeleteLastLocalName(), NoError);
    EXPECT_EQ(PathOf(location), "/");
    EXPECT_EQ(location.GetLastLocalName(&last), IO::BadNameErr);
    EXPECT_EQ(location.DeleteLastLocalName(), IO::BadNameErr);

    Location relative("single");
    EXPECT_EQ(relative.DeleteLastLocalName(), NoError);
    EXPECT_TRUE(relative.IsEmpty());
    EXPECT_EQ(relative.DeleteLastLocalName(), IO::BadNameErr);
}

TEST(LocationURL, EscapesEverythingButUnreservedCharactersAndSlashes) {
    UniString url;
    EXPECT_EQ(Location("/tmp/my file/Gr\xC3\xBC\xC3\x9F"
                       "e\xE2\x82\xAC.ifc")
                  .ToURL(&url),
              NoError);
    EXPECT_EQ(url, "file:///tmp/my%20file/Gr%C3%BC%C3%9Fe%E2%82%AC.ifc");
    EXPECT_EQ(Location("/a#b?c%d&e+f\\-._~Z9").ToURL(&url), NoError);
    EXPECT_EQ(url, "file:///a%23b%3Fc%25d%26e%2Bf/-._~Z9");
    EXPECT_EQ(Location("relative/x").ToURL(&url), IO::BadNameErr);
    EXPECT_EQ(Location().ToURL(&url), IO::BadNameErr);
}

TEST(LocationNative, OnlyAbsoluteLocationsAreLegalAndNonAsciiSurvivesTheNativePath) {
    EXPECT_TRUE(Location("/a").IsLegalInNativeFileSystem());
    EXPECT_FALSE(Location("a/b").IsLegalInNativeFileSystem());
    EXPECT_FALSE(Location("C:\\Users").IsLegalInNativeFileSystem()); // a drive means nothing here
    EXPECT_FALSE(Location().IsLegalInNativeFileSystem());

    const Location location("/tmp/\xE6\xBC\xA2\\Gr\xC3\xBC\xC3\x9F"
                            "e");
    EXPECT_EQ(location.ToFileSystemPath(), std::filesystem::path(std::string("/tmp/\xE6\xBC\xA2/Gr\xC3\xBC\xC3\x9F"
                                                                             "e")));
    EXPECT_TRUE(Location::FromFileSystemPath(location.ToFileSystemPath()) == location);
}

} // namespace
