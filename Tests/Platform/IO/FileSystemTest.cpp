#include "FileSystem.hpp"
#include "Folder.hpp"
#include "FolderTest.hpp"

#include <sys/stat.h>

#include <fstream>

using IO::fileSystem;
using IO::Location;
using IO::Name;

namespace {

namespace fs = std::filesystem;

using FileSystemTest = FolderTest;

TEST_F(FileSystemTest, FolderTreeFromABackslashTextIsCreatedAndFound) {
    const Location tree(GS::UniString(root.string()) + "\\Quillmar\\ArchiCAD\\resources");
    EXPECT_EQ(fileSystem.CreateFolderTree(tree), NoError);
    EXPECT_TRUE(fs::is_directory(root / "Quillmar" / "ArchiCAD" / "resources"));
    bool contains = false;
    EXPECT_EQ(fileSystem.Contains(At("Quillmar\\ArchiCAD"), &contains), NoError);
    EXPECT_TRUE(contains);
    EXPECT_EQ(IO::Folder(tree).GetStatus(), NoError);
    EXPECT_EQ(fileSystem.CreateFolderTree(tree), NoError); // already there
}

TEST_F(FileSystemTest, FolderTreeRefusesAFileInTheWay) {
    Write("file", "x");
    EXPECT_EQ(fileSystem.CreateFolderTree(At("file")), IO::ExistsErr);
    EXPECT_EQ(fileSystem.CreateFolderTree(At("file/sub/deeper")), IO::ExistsErr);
    EXPECT_EQ(Read("file"), "x");
    EXPECT_EQ(fileSystem.CreateFolderTree(Location()), IO::BadNameErr);
}

TEST_F(FileSystemTest, ContainsAnswersForFilesFoldersAndMissingItems) {
    Write("f", "");
    bool contains = true;
    EXPECT_EQ(fileSystem.Contains(At("missing"), &contains), NoError);
    EXPECT_FALSE(contains);
    EXPECT_EQ(fileSystem.Contains(At("f"), &contains), NoError);
    EXPECT_TRUE(contains);
    contains = false;
    EXPECT_EQ(fileSystem.Contains(At(), &contains), NoError);
    EXPECT_TRUE(contains);
    EXPECT_EQ(fileSystem.Contains(Location(), &contains), IO::BadNameErr);
}

TEST_F(FileSystemTest, DeleteRemovesFilesAndEmptyFoldersOnly) {
    Write("f", "x");
    fs::create_directories(Native("full/inner"));
    fs::create_directory(Native("empty"));
    EXPECT_EQ(fileSystem.Delete(At("f"), IO::DefaultSafety, IO::AccessDeniedIsError), NoError);
    EXPECT_EQ(fileSystem.Delete(At("empty")), NoError);
    EXPECT_EQ(fileSystem.Delete(At("full")), IO::ExistsErr);
    EXPECT_EQ(fileSystem.Delete(At("f")), IO::NotFoundErr);
    EXPECT_FALSE(Exists("f"));
    EXPECT_FALSE(Exists("empty"));
    EXPECT_TRUE(Exists("full/inner"));
    EXPECT_EQ(fileSystem.DeleteTree(At("full")), NoError);
    EXPECT_FALSE(Exists("full"));
    EXPECT_EQ(fileSystem.DeleteTree(At("full")), IO::NotFoundErr);
}

TEST_F(FileSystemTest, MoveCarriesFilesAndFoldersAndRefusesAnExistingTarget) {
    Write("a", "from a");
    Write("b", "from b");
    EXPECT_EQ(fileSystem.Move(At("a"), At("b")), IO::ExistsErr);
    EXPECT_EQ(Read("a"), "from a");
    EXPECT_EQ(Read("b"), "from b");
    EXPECT_EQ(fileSystem.Move(At("missing"), At("c")), IO::NotFoundErr);

    EXPECT_EQ(fileSystem.Move(At("a"), At("c")), NoError);
    EXPECT_FALSE(Exists("a"));
    EXPECT_EQ(Read("c"), "from a");

    fs::create_directories(Native("dir/sub"));
    Write("dir/sub/f", "deep");
    EXPECT_EQ(fileSystem.Move(At("dir"), At("dir/sub/into")), IO::BadNameErr);
    EXPECT_EQ(fileSystem.Move(At("dir"), At("moved")), NoError);
    EXPECT_EQ(Read("moved/sub/f"), "deep");
}

TEST_F(FileSystemTest, MoveWorksAcrossFileSystems) {
    struct stat shm {
    }, temp{};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(root.c_str(), &temp) != 0 || shm.st_dev == temp.st_dev)
        GTEST_SKIP() << "no second file system at hand";
    std::string pattern = "/dev/shm/io-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) GTEST_SKIP() << "/dev/shm is not writable";
    const fs::path other = pattern;
    std::ofstream(other / "f") << "far";
    fs::create_directory(other / "dir");
    std::ofstream(other / "dir" / "g") << "far too";

    const Location otherRoot = Location::FromFileSystemPath(other);
    Location file = otherRoot, folder = otherRoot;
    file.AppendToLocal(Name("f"));
    folder.AppendToLocal(Name("dir"));
    EXPECT_EQ(fileSystem.Move(file, At("f")), NoError);
    EXPECT_EQ(fileSystem.Move(folder, At("dir")), NoError);
    EXPECT_EQ(Read("f"), "far");
    EXPECT_EQ(Read("dir/g"), "far too");
    EXPECT_FALSE(fs::exists(other / "f"));
    EXPECT_FALSE(fs::exists(other / "dir"));
    fs::remove_all(other);
}

TEST_F(FileSystemTest, RenameStaysInTheFolderAndRefusesTakenOrIllegalNames) {
    Write("TempIfcFile.ifc", "downloaded");
    Write("taken.ifc", "older");
    EXPECT_EQ(fileSystem.Rename(At("TempIfcFile.ifc"), Name("taken.ifc"), IO::AccessDeniedIsError), IO::ExistsErr);
    for (const char* bad : {"..", "../up.ifc", "a\\b", ""})
        EXPECT_EQ(fileSystem.Rename(At("TempIfcFile.ifc"), Name(bad)), IO::BadNameErr) << bad;
    EXPECT_EQ(Read("TempIfcFile.ifc"), "downloaded");
    EXPECT_EQ(Read("taken.ifc"), "older");

    EXPECT_EQ(fileSystem.Rename(At("TempIfcFile.ifc"), Name("TempIfcFile.ifc")), NoError);
    EXPECT_EQ(fileSystem.Rename(At("TempIfcFile.ifc"), Name("model.ifc")), NoError);
    EXPECT_FALSE(Exists("TempIfcFile.ifc"));
    EXPECT_EQ(Read("model.ifc"), "downloaded");
    EXPECT_EQ(fileSystem.Rename(At("TempIfcFile.ifc"), Name("x")), IO::NotFoundErr);
}

TEST_F(FileSystemTest, CopyDuplicatesFilesAndWholeFoldersButNeverOverwrites) {
    Write("a", "from a");
    Write("b", "from b");
    EXPECT_EQ(fileSystem.Copy(At("a"), At("b")), IO::ExistsErr);
    EXPECT_EQ(Read("b"), "from b");
    EXPECT_EQ(fileSystem.Copy(At("a"), At("c")), NoError);
    EXPECT_EQ(Read("a"), "from a");
    EXPECT_EQ(Read("c"), "from a");

    fs::create_directories(Native("dir/sub"));
    Write("dir/sub/f", "deep");
    EXPECT_EQ(fileSystem.Copy(At("dir"), At("dir/sub/copy")), IO::BadNameErr);
    EXPECT_FALSE(Exists("dir/sub/copy"));
    EXPECT_EQ(fileSystem.Copy(At("dir"), At("copy")), NoError);
    EXPECT_EQ(Read("copy/sub/f"), "deep");
    EXPECT_EQ(Read("dir/sub/f"), "deep");
    EXPECT_EQ(fileSystem.Copy(At("missing"), At("d")), IO::NotFoundErr);
}

} // namespace
