#include "MemoryManager.hpp"

#include <gtest/gtest.h>

#include <cstring>

using GS::MemoryManager;

namespace {

bool AllZero(const char* bytes, GSSize from, GSSize to) {
    for (GSSize i = from; i < to; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

// Every test must give back what it allocated.
class MemoryManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        handlesBefore = MemoryManager::GetLiveHandleCount();
        ptrsBefore = MemoryManager::GetLivePtrCount();
    }
    void TearDown() override {
        EXPECT_EQ(MemoryManager::GetLiveHandleCount(), handlesBefore);
        EXPECT_EQ(MemoryManager::GetLivePtrCount(), ptrsBefore);
    }

    USize handlesBefore = 0;
    USize ptrsBefore = 0;
};

TEST_F(MemoryManagerTest, ClearedHandleIsZeroFilledAndHasItsSize) {
    // Dirty the heap first, so that zeros are not there by chance.
    GSHandle dirty = BMAllocateHandle(512, 0, 0);
    ASSERT_NE(dirty, nullptr);
    std::memset(*dirty, 0x5A, 512);
    BMKillHandle(&dirty);

    GSHandle handle = BMAllocateHandle(512, ALLOCATE_CLEAR, 0);
    ASSERT_NE(handle, nullptr);
    ASSERT_NE(*handle, nullptr);
    EXPECT_EQ(BMGetHandleSize(handle), 512);
    EXPECT_TRUE(AllZero(*handle, 0, 512));
    BMKillHandle(&handle);
}

TEST_F(MemoryManagerTest, ReallocKeepsContentAndZeroesOnlyTheGrownPart) {
    GSHandle handle = BMAllocateHandle(16, 0, 0);
    ASSERT_NE(handle, nullptr);
    std::memset(*handle, 'q', 16);

    ASSERT_EQ(BMReallocHandle(handle, 1 << 20, ALLOCATE_CLEAR, 0), NoError);
    EXPECT_EQ(BMGetHandleSize(handle), 1 << 20);
    EXPECT_EQ(std::memcmp(*handle, "qqqqqqqqqqqqqqqq", 16), 0);
    EXPECT_TRUE(AllZero(*handle, 16, 1 << 20));

    ASSERT_EQ(BMReallocHandle(handle, 4, 0, 0), NoError);
    EXPECT_EQ(BMGetHandleSize(handle), 4);
    EXPECT_EQ(std::memcmp(*handle, "qqqq", 4), 0);

    // Growing again after a shrink: the bytes beyond the old size are new, and zeroed.
    ASSERT_EQ(BMReallocHandle(handle, 8, ALLOCATE_CLEAR, 0), NoError);
    EXPECT_EQ(std::memcmp(*handle, "qqqq\0\0\0\0", 8), 0);
    BMKillHandle(&handle);
}

TEST_F(MemoryManagerTest, EmptyHandleIsValidAndCanGrow) {
    GSHandle handle = BMAllocateHandle(0, ALLOCATE_CLEAR, 0);
    ASSERT_NE(handle, nullptr);
    EXPECT_NE(*handle, nullptr);
    EXPECT_EQ(BMGetHandleSize(handle), 0);
    ASSERT_EQ(BMReallocHandle(handle, 3, ALLOCATE_CLEAR, 0), NoError);
    EXPECT_TRUE(AllZero(*handle, 0, 3));
    BMKillHandle(&handle);
}

TEST_F(MemoryManagerTest, BadArgumentsAreRefused) {
    EXPECT_EQ(BMAllocateHandle(-1, 0, 0), nullptr);
    EXPECT_EQ(BMAllocatePtr(-1, 0, 0), nullptr);
    EXPECT_EQ(BMReallocHandle(nullptr, 8, 0, 0), ErrParam);
    EXPECT_EQ(BMGetHandleSize(nullptr), 0);

    GSHandle handle = BMAllocateHandle(8, 0, 0);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(BMReallocHandle(handle, -1, 0, 0), ErrParam);
    EXPECT_EQ(BMGetHandleSize(handle), 8) << "a refused resize leaves the handle as it was";
    BMKillHandle(&handle);
}

TEST_F(MemoryManagerTest, KillIsNullSafeAndClearsTheCallersHandle) {
    BMKillHandle(nullptr);
    GSHandle none = nullptr;
    BMKillHandle(&none);
    BMKillPtr(nullptr);
    GSPtr noPtr = nullptr;
    BMKillPtr(&noPtr);
    GS_free(nullptr);

    GSHandle handle = BMAllocateHandle(1, 0, 0);
    BMKillHandle(&handle);
    EXPECT_EQ(handle, nullptr);
    BMKillHandle(&handle); // a second kill through the cleared variable does nothing
}

TEST_F(MemoryManagerTest, LiveCountsFollowAllocationAndRelease) {
    GSHandle a = BMAllocateHandle(10, 0, 0);
    GSHandle b = BMAllocateHandle(20, ALLOCATE_CLEAR, 0);
    EXPECT_EQ(MemoryManager::GetLiveHandleCount(), handlesBefore + 2);
    ASSERT_EQ(BMReallocHandle(a, 100, 0, 0), NoError);
    EXPECT_EQ(MemoryManager::GetLiveHandleCount(), handlesBefore + 2) << "a resize is not a new handle";
    BMKillHandle(&a);
    EXPECT_EQ(MemoryManager::GetLiveHandleCount(), handlesBefore + 1);
    BMKillHandle(&b);

    GSPtr p = BMAllocatePtr(5, ALLOCATE_CLEAR, 0);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(AllZero(p, 0, 5));
    EXPECT_EQ(MemoryManager::GetLivePtrCount(), ptrsBefore + 1);
    EXPECT_EQ(MemoryManager::GetLiveHandleCount(), handlesBefore) << "pointers are not handles";
    BMKillPtr(&p);
    EXPECT_EQ(p, nullptr);
}

TEST_F(MemoryManagerTest, GSReallocGrowsABufferAsTheResponseCollectorDoes) {
    char* buffer = nullptr;
    std::size_t length = 0;
    const char* const chunks[] = {"{\"id\":", "\"doc-1\"", "}"};
    for (const char* chunk : chunks) {
        const std::size_t n = std::strlen(chunk);
        auto* grown = static_cast<char*>(GS_realloc(buffer, length + n + 1));
        ASSERT_NE(grown, nullptr);
        buffer = grown;
        std::memcpy(buffer + length, chunk, n);
        length += n;
        buffer[length] = '\0';
        EXPECT_EQ(MemoryManager::GetLivePtrCount(), ptrsBefore + 1) << "growing keeps one block";
    }
    EXPECT_STREQ(buffer, "{\"id\":\"doc-1\"}");
    GS_free(buffer);
}

TEST_F(MemoryManagerTest, PointerBlocksOfBothKindsAreInterchangeable) {
    GSPtr p = BMAllocatePtr(4, 0, 0);
    GS_free(p);
    void* q = GS_realloc(nullptr, 0); // a live block even for no bytes
    ASSERT_NE(q, nullptr);
    auto* asPtr = static_cast<GSPtr>(q);
    BMKillPtr(&asPtr);
}

} // namespace
