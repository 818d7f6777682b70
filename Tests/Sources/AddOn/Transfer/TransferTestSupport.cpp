#include "TransferTestSupport.hpp"

#include <algorithm>

std::set<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.insert(entry.path().filename().string());
    return names;
}

GS::UniString ToUniString(const std::filesystem::path& path) {
    return GS::UniString(path.string().c_str());
}

void ScriptRecorder::Record(const GS::UniString& script) {
    {
        std::lock_guard lock(mutex);
        scripts.push_back(script.ToCStr().ToString());
    }
    recorded.notify_all();
}

std::vector<std::string> ScriptRecorder::Scripts() const {
    std::lock_guard lock(mutex);
    return scripts;
}

std::size_t ScriptRecorder::Count(const std::string& script) const {
    std::lock_guard lock(mutex);
    return static_cast<std::size_t>(std::count(scripts.begin(), scripts.end(), script));
}

bool ScriptRecorder::WaitFor(const std::string& script, std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex);
    return recorded.wait_for(lock, timeout, [&] {
        return static_cast<std::size_t>(std::count(scripts.begin(), scripts.end(), script)) >= count;
    });
}

void ScriptRecorder::Clear() {
    std::lock_guard lock(mutex);
    scripts.clear();
}
