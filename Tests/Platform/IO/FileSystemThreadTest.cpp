#include "File.hpp"
#include "FileSystem.hpp"
#include "FolderTest.hpp"

#include <atomic>
#include <latch>
#include <thread>
#include <vector>

using IO::fileSystem;

namespace {

using FileSystemThreadTest = FolderTest;
constexpr int Racers = 8;

// Runs body(i) on Racers threads that start together.
template <typename Body>
void Race(Body body) {
    std::latch start(Racers);
    std::vector<std::thread> threads;
    for (int i = 0; i < Racers; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            body(i);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
}

TEST_F(FileSystemThreadTest, MovesOntoOneTargetAtOnceLetExactlyOneWin) {
    for (int round = 0; round < 20; ++round) {
        const std::string target = "target" + std::to_string(round);
        std::vector<std::string> sources;
        for (int i = 0; i < Racers; ++i) {
            sources.push_back(target + "-source" + std::to_string(i));
            Write(sources.back().c_str(), sources.back());
        }
        std::atomic<int> wins = 0, refusals = 0;
        Race([&](int i) {
            const GSErrCode result = fileSystem.Move(At(sources[std::size_t(i)].c_str()), At(target.c_str()));
            if (result == NoError)
                ++wins;
            else if (result == IO::ExistsErr)
                ++refusals;
        });
        ASSERT_EQ(wins, 1) << "round " << round;
        ASSERT_EQ(refusals, Racers - 1) << "round " << round;
        int sourcesLeft = 0;
        for (const std::string& source : sources)
            sourcesLeft += Exists(source.c_str()) ? 1 : 0;
        EXPECT_EQ(sourcesLeft, Racers - 1);
        EXPECT_FALSE(Exists(Read(target.c_str()).c_str())); // the target holds the winner's name, whose file is gone
    }
}

TEST_F(FileSystemThreadTest, SimultaneousCreationOfOneTreeAndOneFileSucceedsEverywhere) {
    std::atomic<int> failures = 0;
    Race([&](int) {
        if (fileSystem.CreateFolderTree(At("x\\y\\z")) != NoError) ++failures;
        if (IO::File(At("x/y/z/f"), IO::File::Create).GetStatus() != NoError) ++failures;
    });
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(std::filesystem::is_regular_file(Native("x/y/z/f")));
}

} // namespace
