#include "TempFolder.hpp"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <malloc.h>

#include <cstddef>
#include <optional>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator keeps its own books; GCC installs no header that declares this.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

std::size_t AllocatedBytes() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

bool IsLoaded(const char* path) {
    void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return false;
    dlclose(handle);
    return true;
}

// Loads the reading module (and with it GSXML, Xerces and ICU), reads the file and unloads them all again.
int LoadReadUnload(const std::string& file) {
    void* module = dlopen(GSXML_READER_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return -1;
    auto* read = reinterpret_cast<int (*)(const char*)>(dlsym(module, "GSXMLReaderModuleRead"));
    const int result = read == nullptr ? -1 : read(file.c_str());
    dlclose(module);
    return result;
}

// How much more memory is in use after that many load, read and unload cycles; nothing when a read fails.
std::optional<long long> GrowthOver(int cycles, const std::string& file) {
    const std::size_t before = AllocatedBytes();
    for (int cycle = 0; cycle < cycles; ++cycle)
        if (LoadReadUnload(file) != 1) return std::nullopt;
    return static_cast<long long>(AllocatedBytes()) - static_cast<long long>(before);
}

TEST(GSXMLUnload, LegacyEncodingsLeaveNothingBehindWhenTheLibrariesAreUnloaded) {
    const QuillmarTest::TempFolder folder;
    const std::string plain = (folder / "plain.xml").string();
    const std::string legacy = (folder / "legacy.xml").string();
    QuillmarTest::WriteFile(plain, "<R>x</R>");
    QuillmarTest::WriteFile(legacy, "<?xml version=\"1.0\" encoding=\"windows-1250\"?><R>\x9a\xe8</R>");

    ASSERT_EQ(LoadReadUnload(legacy), 1); // once first: the loader keeps some memory of its own
    ASSERT_FALSE(IsLoaded(GSXML_LIBRARY));
    ASSERT_FALSE(IsLoaded(GSXML_ICU_LIBRARY)) << "the test needs ICU unloaded with the reader";

    // The loader itself keeps a little per cycle, the same for any file. What ICU keeps of a legacy-encoding
    // converter, about 25 KB, would be lost at each unload on top of that unless released first.
    constexpr int cycles = 8;
    const std::optional<long long> plainGrowth = GrowthOver(cycles, plain);
    const std::optional<long long> legacyGrowth = GrowthOver(cycles, legacy);
    ASSERT_TRUE(plainGrowth && legacyGrowth);
    EXPECT_LT(*legacyGrowth, *plainGrowth + 8 * 1024) << "the plain file's cycles kept " << *plainGrowth << " bytes";
}

} // namespace
