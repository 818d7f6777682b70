#ifndef TESTS_ADDON_TRANSFER_TRANSFERTESTSUPPORT_HPP
#define TESTS_ADDON_TRANSFER_TRANSFERTESTSUPPORT_HPP

#include "TempFolder.hpp"

#include "UniString.hpp"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

using QuillmarTest::PatternBytes;
using QuillmarTest::ReadFile;
using QuillmarTest::TempFolder;
using QuillmarTest::WriteFile;

// The names of the entries of a folder.
std::set<std::string> FolderEntries(const std::filesystem::path& folder);
GS::UniString ToUniString(const std::filesystem::path& path);

// The page's side of job reports: the scripts run, from any thread, in the order they arrived.
class ScriptRecorder {
public:
    std::vector<std::string> Scripts() const;
    std::size_t Count(const std::string& script) const;
    // Waits until `script` has run at least `count` times; false on time-out.
    bool WaitFor(const std::string& script, std::size_t count = 1,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
    void Clear();

    void Record(const GS::UniString& script);

private:
    mutable std::mutex mutex;
    mutable std::condition_variable recorded;
    std::vector<std::string> scripts;
};

#endif
