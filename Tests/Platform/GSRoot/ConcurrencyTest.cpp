#include "Guid.hpp"
#include "MemoryManager.hpp"
#include "Time.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace {

constexpr int ThreadCount = 8;

template <typename Body>
void RunOnThreads(Body body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < ThreadCount; ++t)
        threads.emplace_back(body, t);
    for (auto& thread : threads)
        thread.join();
}

TEST(GuidConcurrency, GuidsGeneratedOnSeveralThreadsAreAllDistinct) {
    constexpr int PerThread = 500;
    std::vector<std::vector<GS::Guid>> made(ThreadCount);
    RunOnThreads([&made](int t) {
        for (int i = 0; i < PerThread; ++i) {
            GS::Guid guid;
            guid.Generate();
            made[static_cast<std::size_t>(t)].push_back(guid);
        }
    });
    std::set<GS::Guid> all;
    for (const auto& list : made)
        all.insert(list.begin(), list.end());
    EXPECT_EQ(all.size(), static_cast<std::size_t>(ThreadCount * PerThread)) << "threads must not share a sequence";
}

TEST(MemoryConcurrency, LiveCountsStayExactUnderConcurrentUse) {
    const USize handlesBefore = GS::MemoryManager::GetLiveHandleCount();
    const USize ptrsBefore = GS::MemoryManager::GetLivePtrCount();
    RunOnThreads([](int t) {
        for (int i = 0; i < 2000; ++i) {
            GSHandle handle = BMAllocateHandle(t + i % 64, ALLOCATE_CLEAR, 0);
            void* block = GS_realloc(nullptr, 32);
            ASSERT_NE(handle, nullptr);
            ASSERT_EQ(BMReallocHandle(handle, 128, ALLOCATE_CLEAR, 0), NoError);
            GS_free(block);
            BMKillHandle(&handle);
        }
    });
    EXPECT_EQ(GS::MemoryManager::GetLiveHandleCount(), handlesBefore);
    EXPECT_EQ(GS::MemoryManager::GetLivePtrCount(), ptrsBefore);
}

GSTime FixedClock() {
    return 1000;
}

// Under the thread sanitizer this also proves that switching the clock is not a data race.
TEST(TimeConcurrency, ReadersSeeEitherClockWhileItIsSwitched) {
    const GSTime realBefore = TIGetTime();
    std::atomic<bool> stop{false};
    std::atomic<int> fixed{0};
    std::atomic<int> wrong{0};
    std::thread reader([&] {
        while (!stop) {
            const GSTime now = TIGetTime();
            if (now == 1000) {
                ++fixed;
            } else if (now < realBefore) {
                ++wrong;
            }
        }
    });
    GS::SetTimeSourceForTesting(&FixedClock);
    while (fixed == 0)
        std::this_thread::yield();
    for (int i = 0; i < 200; ++i) {
        GS::SetTimeSourceForTesting(nullptr);
        std::this_thread::yield();
        GS::SetTimeSourceForTesting(&FixedClock);
    }
    GS::SetTimeSourceForTesting(nullptr);
    stop = true;
    reader.join();
    EXPECT_EQ(wrong, 0);
}

} // namespace
