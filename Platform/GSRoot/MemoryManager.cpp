#include "MemoryManager.hpp"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

std::atomic<USize> liveHandles{0};
std::atomic<USize> livePtrs{0};

// The block a handle points into. `data` comes first: the handle is its address.
struct HandleBlock {
    char* data;
    GSSize size;
};

HandleBlock* BlockOf(GSConstHandle handle) noexcept {
    // The handle is the address of the first member of a HandleBlock (standard layout).
    return reinterpret_cast<HandleBlock*>(const_cast<char**>(handle));
}

bool FitsSizeT(GSSize size) noexcept {
    return size >= 0 && static_cast<UInt64>(size) < std::numeric_limits<std::size_t>::max();
}

// At least one byte, so that the data pointer of an empty block is never null.
std::size_t StorageSize(GSSize size) noexcept {
    return size == 0 ? 1 : static_cast<std::size_t>(size);
}

bool IsClear(GSFlags flags) noexcept {
    return (flags & ALLOCATE_CLEAR) != 0;
}

char* AllocateBytes(GSSize size, GSFlags flags) noexcept {
    void* bytes = IsClear(flags) ? std::calloc(StorageSize(size), 1) : std::malloc(StorageSize(size));
    return static_cast<char*>(bytes);
}

} // namespace

GSHandle BMAllocateHandle(GSSize size, GSFlags flags, GSSize /*reserved*/) {
    if (!FitsSizeT(size)) return nullptr;
    auto* block = static_cast<HandleBlock*>(std::malloc(sizeof(HandleBlock)));
    if (block == nullptr) return nullptr;
    block->data = AllocateBytes(size, flags);
    if (block->data == nullptr) {
        std::free(block);
        return nullptr;
    }
    block->size = size;
    liveHandles.fetch_add(1, std::memory_order_relaxed);
    return &block->data;
}

GSErrCode BMReallocHandle(GSHandle handle, GSSize newSize, GSFlags flags, GSSize /*reserved*/) {
    if (handle == nullptr || !FitsSizeT(newSize)) return ErrParam;
    HandleBlock* block = BlockOf(handle);
    char* grown = static_cast<char*>(std::realloc(block->data, StorageSize(newSize)));
    if (grown == nullptr) return ErrMemoryFull;
    if (IsClear(flags) && newSize > block->size) {
        std::memset(grown + block->size, 0, static_cast<std::size_t>(newSize - block->size));
    }
    block->data = grown;
    block->size = newSize;
    return NoError;
}

GSSize BMGetHandleSize(GSConstHandle handle) {
    return handle == nullptr ? 0 : BlockOf(handle)->size;
}

void BMKillHandle(GSHandle* handle) {
    if (handle == nullptr || *handle == nullptr) return;
    HandleBlock* block = BlockOf(*handle);
    std::free(block->data);
    std::free(block);
    liveHandles.fetch_sub(1, std::memory_order_relaxed);
    *handle = nullptr;
}

GSPtr BMAllocatePtr(GSSize size, GSFlags flags, GSSize /*reserved*/) {
    if (!FitsSizeT(size)) return nullptr;
    char* bytes = AllocateBytes(size, flags);
    if (bytes != nullptr) livePtrs.fetch_add(1, std::memory_order_relaxed);
    return bytes;
}

void BMKillPtr(GSPtr* ptr) {
    if (ptr == nullptr) return;
    GS_free(*ptr);
    *ptr = nullptr;
}

void* GS_realloc(void* p, std::size_t size) {
    void* result = std::realloc(p, size == 0 ? 1 : size);
    if (result != nullptr && p == nullptr) livePtrs.fetch_add(1, std::memory_order_relaxed);
    return result;
}

void GS_free(void* p) {
    if (p == nullptr) return;
    std::free(p);
    livePtrs.fetch_sub(1, std::memory_order_relaxed);
}

namespace GS {

USize MemoryManager::GetLiveHandleCount() noexcept {
    return liveHandles.load(std::memory_order_relaxed);
}

USize MemoryManager::GetLivePtrCount() noexcept {
    return livePtrs.load(std::memory_order_relaxed);
}

} // namespace GS
