#ifndef GSROOT_MEMORYMANAGER_HPP
#define GSROOT_MEMORYMANAGER_HPP

#include "Definitions.hpp"
#include "GSRootExport.hpp"

#include <cstddef>

// Host memory blocks. A handle is a pointer to the block's data pointer; the block may move when resized, the
// handle stays. All functions are thread-safe; one block must not be used by two threads at once.
using GSPtr = char*;
using GSConstPtr = const char*;
using GSHandle = char**;
using GSConstHandle = const char* const*;

// Allocation flag: new bytes are zero-filled.
constexpr GSFlags ALLOCATE_CLEAR = 2;

constexpr GSErrCode ErrParam = -50;
constexpr GSErrCode ErrMemoryFull = -108;

// A new handle of `size` bytes; nullptr for a negative size or when memory is short. `reserved` is ignored.
GSROOT_DLL_EXPORT GSHandle BMAllocateHandle(GSSize size, GSFlags flags, GSSize reserved);
// Resizes the block; the content is kept up to the smaller size, grown bytes are zeroed with ALLOCATE_CLEAR.
// ErrParam for a null handle or a negative size, ErrMemoryFull when memory is short (the block is then unchanged).
GSROOT_DLL_EXPORT GSErrCode BMReallocHandle(GSHandle handle, GSSize newSize, GSFlags flags, GSSize reserved);
// Size in bytes; 0 for a null handle.
GSROOT_DLL_EXPORT GSSize BMGetHandleSize(GSConstHandle handle);
// Frees the handle and sets the caller's variable to nullptr. Null-safe (a null address or a null handle).
GSROOT_DLL_EXPORT void BMKillHandle(GSHandle* handle);

// A block of `size` bytes; nullptr for a negative size or when memory is short. `reserved` is ignored.
GSROOT_DLL_EXPORT GSPtr BMAllocatePtr(GSSize size, GSFlags flags, GSSize reserved);
// Frees the block and sets the caller's variable to nullptr. Null-safe.
GSROOT_DLL_EXPORT void BMKillPtr(GSPtr* ptr);

// realloc of the host's allocator: nullptr `p` allocates; on failure nullptr is returned and `p` stays valid.
// Blocks of GS_realloc and BMAllocatePtr are the same kind: GS_free and BMKillPtr free either.
GSROOT_DLL_EXPORT void* GS_realloc(void* p, std::size_t size);
GSROOT_DLL_EXPORT void GS_free(void* p);

namespace GS {

// What is still allocated, so that a caller can be checked for leaks.
class GSROOT_DLL_EXPORT MemoryManager {
public:
    // Handles allocated and not yet killed.
    static USize GetLiveHandleCount() noexcept;
    // Pointer blocks (BMAllocatePtr, GS_realloc) allocated and not yet freed.
    static USize GetLivePtrCount() noexcept;
};

} // namespace GS

#endif
