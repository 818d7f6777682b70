#ifndef IO_TESTS_TEMPFOLDER_HPP
#define IO_TESTS_TEMPFOLDER_HPP

#include "Location.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// A fresh folder per test, removed afterwards. Paths given to the helpers are relative to it.
class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "io-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    IO::Location At(const char* relative = "") const {
        return IO::Location(GS::UniString(root.string()) + "/" + GS::UniString(relative));
    }
    std::filesystem::path Native(const char* relative) const { return root / std::string(relative); }

    void Write(const char* relative, const std::string& content) const {
        std::ofstream(Native(relative), std::ios::binary) << content;
    }
    std::string Read(const char* relative) const {
        std::ifstream in(Native(relative), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool Exists(const char* relative) const { return std::filesystem::exists(Native(relative)); }

    std::filesystem::path root;
};

#endif
