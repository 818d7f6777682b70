#ifndef HOSTSIM_HEADLESSPAGE_HPP
#define HOSTSIM_HEADLESSPAGE_HPP

#include "HostPage.hpp"

#include <mutex>

namespace HostSim {

// A page without a browser: it records each URL loaded ({"load": url}), each script run ({"page": script}), the
// context-menu mode and each script object registered ({"registered": name, "functions": [...]}), and lets the
// scenario call the registered functions.
class HeadlessPage final : public HostPage {
public:
    explicit HeadlessPage(PageServices services);
    ~HeadlessPage() override;

    void LoadURL(const GS::UniString& url) override;
    // [thread-safe] Scripts from all threads go into the run's script log in the order they arrive.
    void ExecuteJS(const GS::UniString& script) override;
    bool RegisterAsynchJSObject(GS::Ref<JS::Object> obj) override;
    void SetContextMenuMode(Int32 mode) override;

    std::vector<std::string> GetLoadedURLs() const override;
    std::vector<std::string> GetScripts() const override;
    std::vector<GS::Ref<JS::Object>> GetScriptObjects() const override;
    bool HasFunction(const std::string& function, const std::string& objectName) const override;
    CallOutcome Call(const std::string& function, const Line* argument, const std::string& objectName) override;

    Int32 GetContextMenuMode() const noexcept { return contextMenuMode; }

private:
    GS::Ref<JS::Function> FindFunction(const std::string& function, const std::string& objectName) const;

    std::vector<std::string> urls;
    std::vector<GS::Ref<JS::Object>> objects;
    Int32 contextMenuMode = 0;
};

} // namespace HostSim

#endif
