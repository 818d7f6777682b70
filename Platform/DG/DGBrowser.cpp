#include "DGBrowser.hpp"

#include "DGUIBackEnd.hpp"
#include "JSValues.hpp"

namespace DG {

BrowserPage::~BrowserPage() = default;

BrowserBase::BrowserBase(const Panel& panel, short index) : Item(panel, index) {
    if (UIBackEnd* backEnd = GetUIBackEnd()) page = backEnd->CreateBrowserPage(*this);
}

BrowserBase::~BrowserBase() = default;

void BrowserBase::LoadURL(const GS::UniString& url) {
    if (page) page->LoadURL(url);
}

void BrowserBase::ExecuteJS(const GS::UniString& script) {
    if (page) page->ExecuteJS(script);
}

bool BrowserBase::RegisterAsynchJSObject(GS::Ref<JS::Object> obj) {
    return page ? page->RegisterAsynchJSObject(std::move(obj)) : false;
}

void BrowserBase::SetContextMenuMode(ContextMenuMode mode) {
    if (page) page->SetContextMenuMode(mode);
}

Browser::Browser(const Panel& panel, short index) : BrowserBase(panel, index) {}

Browser::~Browser() = default;

} // namespace DG
