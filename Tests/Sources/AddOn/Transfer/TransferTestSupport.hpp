#ifndef TESTS_ADDON_TRANSFER_TRANSFERTESTSUPPORT_HPP
#define TESTS_ADDON_TRANSFER_TRANSFERTESTSUPPORT_HPP

#include "DGBrowser.hpp"
#include "DGUIBackEnd.hpp"
#include "UniString.hpp"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// A fresh folder of its own under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const noexcept { return path; }
    std::filesystem::path operator/(const std::string& name) const { return path / name; }

private:
    std::filesystem::path path;
};

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);
// Bytes that differ from position to position, so that a misplaced or lost block shows.
std::string PatternBytes(std::size_t size, unsigned seed = 1);
// The names of the entries of a folder.
std::set<std::string> FolderEntries(const std::filesystem::path& folder);
GS::UniString ToUniString(const std::filesystem::path& path);

// A UI back end whose browser pages record the scripts run in them, from any thread.
class ScriptRecorder : public DG::UIBackEnd {
public:
    std::unique_ptr<DG::BrowserPage> CreateBrowserPage(DG::BrowserBase& browser) override;

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
