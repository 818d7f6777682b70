#include "TreeEnumerator.hpp"
#include "FolderTest.hpp"

#include <functional>
#include <stdexcept>
#include <vector>

using GS::UniString;
using IO::Location;
using IO::Name;

namespace {

// Records "folder path|name" per file; the decision to go on comes from a test's rule.
class Recorder : public IO::TreeEnumerator {
public:
    std::function<bool(const Location& parent, const Name& name)> goOn = [](const Location&, const Name&) {
        return true;
    };
    std::function<bool(const Name& name)> enter = [](const Name&) { return true; };
    std::vector<std::string> found;

    bool FileFound(const Name& name) override {
        UniString parent;
        GetParent().ToPath(&parent);
        found.push_back(std::string(parent.ToCStr().Get()) + "|" + name.ToString().ToCStr().Get());
        return goOn(GetParent(), name);
    }
    bool FolderFound(const Name& name) override { return enter(name); }
};

class TreeEnumeratorTest : public FolderTest {
protected:
    void SetUp() override {
        for (const char* folder : {"sub2", "sub1/deep", "empty"})
            std::filesystem::create_directories(Native(folder));
        for (const char* file : {"b.txt", "a.txt", "sub2/z.txt", "sub1/y.txt", "sub1/deep/x.txt"})
            Write(file, "");
        rootText = root.string();
    }
    std::string rootText;
};

TEST_F(TreeEnumeratorTest, FilesOfAFolderComeBeforeItsSubfoldersAllInNameOrder) {
    Recorder recorder;
    EXPECT_EQ(recorder.Do(IO::Folder(At())), NoError);
    const std::vector<std::string> expected = {rootText + "|a.txt", rootText + "|b.txt", rootText + "/sub1|y.txt",
                                               rootText + "/sub1/deep|x.txt", rootText + "/sub2|z.txt"};
    EXPECT_EQ(recorder.found, expected);
    EXPECT_TRUE(recorder.GetParent().IsEmpty());
}

TEST_F(TreeEnumeratorTest, FalseStopsTheWholeWalk) {
    Recorder recorder;
    const Location rootLocation = At();
    // Like a listing of the root alone: the first file met elsewhere ends the walk.
    recorder.goOn = [&](const Location& parent, const Name&) { return parent == rootLocation; };
    EXPECT_EQ(recorder.Do(rootLocation), NoError);
    ASSERT_EQ(recorder.found.size(), 3u);
    EXPECT_EQ(recorder.found[2], rootText + "/sub1|y.txt");
}

TEST_F(TreeEnumeratorTest, RefusedSubfoldersAreSkippedAndTheWalkGoesOn) {
    Recorder recorder;
    recorder.enter = [](const Name& name) { return name.ToString() != "sub1"; };
    EXPECT_EQ(recorder.Do(At()), NoError);
    EXPECT_EQ(recorder.found.size(), 3u);
    EXPECT_EQ(recorder.found.back(), rootText + "/sub2|z.txt");
}

TEST_F(TreeEnumeratorTest, AMissingRootOrAFileGivesAnErrorWithoutReports) {
    Recorder recorder;
    EXPECT_EQ(recorder.Do(At("missing")), IO::NotFoundErr);
    EXPECT_EQ(recorder.Do(At("a.txt")), IO::NotFoundErr);
    EXPECT_EQ(recorder.Do(IO::Folder(At("missing"))), IO::NotFoundErr);
    EXPECT_EQ(recorder.Do(Location()), IO::BadNameErr);
    EXPECT_EQ(recorder.Do(At("empty")), NoError);
    EXPECT_TRUE(recorder.found.empty());
}

TEST_F(TreeEnumeratorTest, AHandlersExceptionPassesThroughAndLeavesNoParent) {
    Recorder recorder;
    recorder.goOn = [](const Location&, const Name&) -> bool { throw std::runtime_error("handler"); };
    EXPECT_THROW(recorder.Do(At()), std::runtime_error);
    EXPECT_TRUE(recorder.GetParent().IsEmpty());
}

TEST_F(TreeEnumeratorTest, NonAsciiNamesArriveAsTheyAreAndBackslashNamesAreLeftOut) {
    std::filesystem::remove_all(Native("sub1"));
    std::filesystem::remove_all(Native("sub2"));
    Write("\xE6\xBC\xA2 Gr\xC3\xBC\xC3\x9F"
          "e.ifc",
          "");
    Write("back\\slash", "");
    Recorder recorder;
    EXPECT_EQ(recorder.Do(At()), NoError);
    const std::vector<std::string> expected = {rootText + "|a.txt", rootText + "|b.txt",
                                               rootText + "|\xE6\xBC\xA2 Gr\xC3\xBC\xC3\x9F"
                                                          "e.ifc"};
    EXPECT_EQ(recorder.found, expected);
}

} // namespace
