#include "TransferTestSupport.hpp"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

class RecordingPage : public DG::BrowserPage {
public:
    explicit RecordingPage(ScriptRecorder& recorder) : recorder(recorder) {}
    void LoadURL(const GS::UniString&) override {}
    void ExecuteJS(const GS::UniString& script) override { recorder.Record(script); }
    bool RegisterAsynchJSObject(GS::Ref<JS::Object>) override { return true; }
    void SetContextMenuMode(Int32) override {}

private:
    ScriptRecorder& recorder;
};

} // namespace

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillmar-transfer-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
    path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string PatternBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned state = seed * 2654435761u + 1u;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

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

std::unique_ptr<DG::BrowserPage> ScriptRecorder::CreateBrowserPage(DG::BrowserBase&) {
    return std::make_unique<RecordingPage>(*this);
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
