#include "HeadlessPage.hpp"

#include "ScriptValues.hpp"

#include "GSException.hpp"

#include <exception>

namespace HostSim {

HeadlessPage::HeadlessPage(PageServices services) : HostPage(std::move(services)) {}

HeadlessPage::~HeadlessPage() = default;

void HeadlessPage::LoadURL(const GS::UniString& url) {
    urls.push_back(ToUtf8(url));
    GetServices().transcript->Write(Line{{"load", urls.back()}});
}

void HeadlessPage::ExecuteJS(const GS::UniString& script) {
    const PageServices& services = GetServices();
    services.scripts->Append(ToUtf8(script), this, [&services](const std::string& text) {
        services.transcript->Write(Line{{"page", text}});
    });
}

bool HeadlessPage::RegisterAsynchJSObject(GS::Ref<JS::Object> obj) {
    if (obj.IsNull()) return false;
    Line functions = Line::array();
    for (const JS::Object::Item& item : obj->GetItemTable())
        if (GS::DynamicCast<JS::Function>(item.second)) functions.push_back(ToUtf8(item.first));
    // A second object of the same name takes the place of the first, as in a page.
    std::erase_if(objects, [&obj](const GS::Ref<JS::Object>& o) { return o->GetName() == obj->GetName(); });
    objects.push_back(obj);
    GetServices().transcript->Write(Line{{"registered", ToUtf8(obj->GetName())}, {"functions", functions}});
    return true;
}

void HeadlessPage::SetContextMenuMode(Int32 mode) {
    contextMenuMode = mode;
    GetServices().transcript->Write(Line{{"contextMenu", mode}});
}

std::vector<std::string> HeadlessPage::GetLoadedURLs() const {
    return urls;
}

std::vector<std::string> HeadlessPage::GetScripts() const {
    std::vector<std::string> result;
    for (const ScriptLog::Entry& entry : GetServices().scripts->GetEntries())
        if (entry.page == this) result.push_back(entry.script);
    return result;
}

std::vector<GS::Ref<JS::Object>> HeadlessPage::GetScriptObjects() const {
    return objects;
}

GS::Ref<JS::Function> HeadlessPage::FindFunction(const std::string& function, const std::string& objectName) const {
    const GS::UniString name = ToUniString(function);
    for (const GS::Ref<JS::Object>& object : objects) {
        if (!objectName.empty() && ToUtf8(object->GetName()) != objectName) continue;
        if (auto found = GS::DynamicCast<JS::Function>(object->GetItem(name))) return found;
    }
    return {};
}

bool HeadlessPage::HasFunction(const std::string& function, const std::string& objectName) const {
    return !FindFunction(function, objectName).IsNull();
}

CallOutcome HeadlessPage::Call(const std::string& function, const Line* argument, const std::string& objectName) {
    const PageServices& services = GetServices();
    return services.mainThread->Invoke([&]() -> CallOutcome {
        return CallScriptFunction(*services.transcript, function, FindFunction(function, objectName), [argument] {
            return argument != nullptr ? ToScriptValue(*argument) : GS::Ref<JS::Base>();
        });
    });
}

} // namespace HostSim
