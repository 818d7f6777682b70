#ifndef IO_TESTS_FOLDERTEST_HPP
#define IO_TESTS_FOLDERTEST_HPP

#include "TempFolder.hpp"

#include "Location.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// A fresh folder per test, removed afterwards. Paths given to the helpers are relative to it.
class FolderTest : public ::testing::Test {
protected:
    IO::Location At(const char* relative = "") const {
        return IO::Location(GS::UniString(root.string()) + "/" + GS::UniString(relative));
    }
    std::filesystem::path Native(const char* relative) const { return root / std::string(relative); }

    void Write(const char* relative, const std::string& content) const {
        QuillmarTest::WriteFile(Native(relative), content);
    }
    std::string Read(const char* relative) const { return QuillmarTest::ReadFile(Native(relative)); }
    bool Exists(const char* relative) const { return std::filesystem::exists(Native(relative)); }

    QuillmarTest::TempFolder folder;
    const std::filesystem::path root = folder.Path();
};

#endif
