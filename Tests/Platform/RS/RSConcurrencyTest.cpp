#include "RS.hpp"
#include "TestIds.hpp"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Readers on several threads while another thread opens, closes and removes modules: every read of the module that
// stays open succeeds with the right text, and reads of the others never crash.
TEST(ModuleImageCacheThreads, ReadsRaceWithOpenAndClose) {
    void* library = dlopen(RS_TEST_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const void* anchor = dlsym(library, "RSTestModuleAnchor");
    const GSResModule stable = RSInitModuleImageCache(anchor);
    ASSERT_NE(stable, InvalidResModule);

    std::atomic<GSResModule> churning = InvalidResModule;
    std::atomic<bool> stop = false;
    std::atomic<int> wrongReads = 0;
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                GS::UniString text;
                if (!RSGetIndString(&text, ID_TEST_STRINGS, 3, stable) || text != "third") ++wrongReads;
                GS::UniString other;
                if (RSGetIndString(&other, ID_TEST_STRINGS, 1, churning.load()) && other != "first") ++wrongReads;
                RS::DialogDescription dialog;
                if (!RS::GetDialogDescription(&dialog, ID_TEST_PALETTE, stable) || dialog.items.GetSize() != 2)
                    ++wrongReads;
            }
        });
    }
    for (int round = 0; round < 100; ++round) {
        const GSResModule module = RSInitModuleImageCache(anchor);
        ASSERT_NE(module, InvalidResModule);
        churning = module;
        if (round % 2 == 0) RS::ResModuleClosed(module);
        RSRemoveModuleImageCache(module);
    }
    stop = true;
    for (auto& reader : readers)
        reader.join();

    EXPECT_EQ(wrongReads.load(), 0);
    RSRemoveModuleImageCache(stable);
    dlclose(library);
}

} // namespace
