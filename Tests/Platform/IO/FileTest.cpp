#include "File.hpp"
#include "Folder.hpp"
#include "FolderTest.hpp"

#include <unistd.h>

using IO::File;

namespace {

class FileTest : public FolderTest {
protected:
    // Replaces the file's content through the library.
    void Store(const char* relative, const std::string& content, File::OpenMode mode = File::WriteEmptyMode) {
        File file(At(relative), File::Create);
        ASSERT_EQ(file.GetStatus(), NoError);
        ASSERT_EQ(file.Open(mode, File::AccessDeniedIsError), NoError);
        ASSERT_EQ(file.WriteBin(content.data(), static_cast<USize>(content.size())), NoError);
        ASSERT_EQ(file.Close(), NoError);
    }
};

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

TEST_F(FileTest, CreateMakesAnEmptyFileAndFailLeavesAMissingOneMissing) {
    File missing(At("none.txt"), File::Fail);
    EXPECT_EQ(missing.GetStatus(), IO::NotFoundErr);
    EXPECT_EQ(missing.Open(File::ReadMode), IO::NotFoundErr);
    EXPECT_FALSE(Exists("none.txt"));

    File made(At("new.txt"), File::Create);
    EXPECT_EQ(made.GetStatus(), NoError);
    UInt64 length = 99;
    EXPECT_EQ(made.GetDataLength(&length), NoError);
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(std::filesystem::is_regular_file(Native("new.txt")));

    EXPECT_EQ(File(At("no folder/x.txt"), File::Create).GetStatus(), IO::NotFoundErr);
    EXPECT_EQ(File(IO::Location(), File::Create).GetStatus(), IO::BadNameErr);
}

TEST_F(FileTest, AFolderIsNoFileAndAFileIsNoFolder) {
    std::filesystem::create_directory(Native("dir"));
    Write("file", "x");
    EXPECT_EQ(File(At("dir"), File::Fail).GetStatus(), IO::NotFoundErr);
    EXPECT_EQ(File(At("dir"), File::Create).GetStatus(), IO::ExistsErr);
    EXPECT_EQ(IO::Folder(At("dir")).GetStatus(), NoError);
    EXPECT_EQ(IO::Folder(At("file")).GetStatus(), IO::NotFoundErr);
    EXPECT_EQ(IO::Folder(At("none")).GetStatus(), IO::NotFoundErr);
}

TEST_F(FileTest, WrittenBytesAreReadBackWithTheirLength) {
    const std::string content("line\r\n\0binary\xFF", 14);
    Store("data.bin", content);
    File file(At("data.bin"));
    ASSERT_EQ(file.Open(File::ReadMode), NoError);
    UInt64 length = 0;
    ASSERT_EQ(file.GetDataLength(&length), NoError);
    ASSERT_EQ(length, content.size());
    std::string back(content.size(), '?');
    EXPECT_EQ(file.ReadBin(back.data(), static_cast<USize>(back.size())), NoError);
    EXPECT_EQ(back, content);
}

TEST_F(FileTest, OpenModesDecideWhatHappensToTheOldContent) {
    Write("f", "long content");
    Store("f", "ab");
    EXPECT_EQ(Read("f"), "ab");
    Write("f", "long content");
    Store("f", "XY", File::WriteMode);
    EXPECT_EQ(Read("f"), "XYng content");
    Store("f", "++", File::AppendMode);
    EXPECT_EQ(Read("f"), "XYng content++");

    File file(At("f"));
    ASSERT_EQ(file.Open(File::ReadWriteMode), NoError);
    char two[2];
    EXPECT_EQ(file.ReadBin(two, 2), NoError);
    EXPECT_EQ(file.WriteBin("--", 2), NoError); // at the position the reading reached
    file.Close();
    EXPECT_EQ(Read("f"), "XY-- content++");
}

TEST_F(FileTest, ReadingPastTheEndIsAnErrorOnlyWhenNoCountIsAsked) {
    Write("short", "abc");
    File file(At("short"));
    ASSERT_EQ(file.Open(File::ReadMode), NoError);
    char buffer[8] = {};
    USize read = 0;
    EXPECT_EQ(file.ReadBin(buffer, 2, &read), NoError);
    EXPECT_EQ(read, 2u);
    EXPECT_EQ(file.ReadBin(buffer, 8, &read), NoError);
    EXPECT_EQ(read, 1u);
    EXPECT_EQ(buffer[0], 'c');
    EXPECT_EQ(file.ReadBin(buffer, 1), IO::EndOfFileErr);
    EXPECT_NE(file.WriteBin("x", 1), NoError); // opened for reading only
    EXPECT_EQ(Read("short"), "abc");
}

TEST_F(FileTest, OperationsNeedTheRightOpenState) {
    Write("f", "x");
    File file(At("f"));
    char c = 0;
    EXPECT_EQ(file.ReadBin(&c, 1), IO::NotOpenErr);
    EXPECT_EQ(file.WriteBin(&c, 1), IO::NotOpenErr);
    ASSERT_EQ(file.Open(File::ReadMode), NoError);
    EXPECT_EQ(file.Open(File::ReadMode), IO::AlreadyOpenErr);
    EXPECT_EQ(file.Close(), NoError);
    EXPECT_EQ(file.Close(), NoError);
    EXPECT_FALSE(file.IsOpen());
}

TEST_F(FileTest, TheDestructorReleasesTheOpenFile) {
    Write("f", "x");
    const std::size_t before = OpenDescriptors();
    {
        File file(At("f"));
        ASSERT_EQ(file.Open(File::ReadMode), NoError);
        EXPECT_EQ(OpenDescriptors(), before + 1);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(FileTest, AReadOnlyFileRefusesWriting) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser may write anything";
    Write("locked", "keep");
    std::filesystem::permissions(Native("locked"), std::filesystem::perms::owner_read);
    File file(At("locked"));
    EXPECT_EQ(file.Open(File::WriteEmptyMode, File::AccessDeniedIsError), IO::AccessDeniedErr);
    EXPECT_EQ(Read("locked"), "keep");
}

TEST_F(FileTest, NonAsciiNamesReachTheSameFileOnDisk) {
    const char* name = "Gr\xC3\xBC\xC3\x9F"
                       "e \xE2\x82\xAC \xE6\xBC\xA2.ifc";
    Store(name, "ISO-10303-21;");
    EXPECT_EQ(Read(name), "ISO-10303-21;");
    EXPECT_EQ(File(At(name)).GetStatus(), NoError);
}

} // namespace
