#include "QuillmarPalette.hpp"

#include "BuildConfig.hpp"
#include "Exchange/ExchangeState.hpp"
#include "Exchange/IfcImport.hpp"
#include "HostBinding/AddOnProcess.hpp"
#include "HostBinding/HostOperations.hpp"
#include "Mapping/MappingState.hpp"
#include "PageReports.hpp"
#include "Publishing/PublishState.hpp"
#include "ResourceIds.hpp"
#include "ScriptFunctionTable.hpp"

#include "Viewpoints/ViewpointState.hpp"

#include "JSValues.hpp"

namespace {

constexpr short BrowserItemIndex = 1;
constexpr Int32 PaletteMenuItemIndex = 1;

// The process-wide palette reference; the main thread's alone.
GS::Ref<QuillmarPalette>& Instance() {
    static GS::Ref<QuillmarPalette> instance;
    return instance;
}

} // namespace

const GS::Guid& GetPaletteGuid() {
    static const GS::Guid guid("{7498d1c2-c932-48ec-b06c-98fb0cc9c1ee}");
    return guid;
}

Int32 GetPaletteReferenceNumber() {
    UInt32 sum = 0;
    for (const UInt32 word : GetPaletteGuid().GetMemoryWords())
        sum += word; // wraps modulo 2^32
    return static_cast<Int32>(sum);
}

QuillmarPalette::QuillmarPalette()
    : DG::Palette(GetResourceModule(), ID_PALETTE_DIALOG, GetPaletteGuid()), browser(*this, BrowserItemIndex),
      exchange(std::make_shared<ExchangeState>()), viewpoints(std::make_shared<ViewpointState>()),
      mapping(std::make_unique<MappingState>()), publishing(std::make_shared<PublishState>()),
      reports(std::make_shared<PageReports>([this](const GS::UniString& script) { browser.ExecuteJS(script); },
                                            exchange, viewpoints, publishing)) {
    Attach(*this);
    BeginEventProcessing();
    browser.LoadURL(GS::UniString(WebApplicationURL));
    browser.SetContextMenuMode(DG::BrowserBase::NoContextMenu);
    RegisterAPIJavaScriptObject();
}

QuillmarPalette::~QuillmarPalette() {
    // Jobs still running keep the receiver, not the page: from here on their reports go nowhere.
    reports->Detach();
    EndEventProcessing();
    Detach(*this);
}

bool QuillmarPalette::HasInstance() {
    return Instance() != nullptr;
}

QuillmarPalette& QuillmarPalette::GetInstance() {
    return *Instance(); // throws GS::NullPointerException without a palette
}

void QuillmarPalette::CreateInstance() {
    Instance() = GS::Ref<QuillmarPalette>(new QuillmarPalette());
    Instance()->keepInMemory.emplace();
}

void QuillmarPalette::DestroyInstance() {
    Instance().Clear();
}

void QuillmarPalette::OpenAndMergeIFCFiles() {
    OpenAndMergeIfcFiles(*exchange);
}

std::shared_ptr<TransferReports> QuillmarPalette::GetTransferReports() const {
    return reports;
}

void QuillmarPalette::ShowPalette() {
    Show(DG::ModelessBase::DefaultPosition);
    SetMenuCheckMark(true);
}

void QuillmarPalette::HidePalette() {
    Hide();
    SetMenuCheckMark(false);
}

void QuillmarPalette::SetMenuCheckMark(bool checked) {
    // The host's answers are not examined: a missing check mark must not keep the palette from showing.
    API_MenuItemRef item;
    item.menuResID = ID_ADDON_MENU;
    item.itemIndex = PaletteMenuItemIndex;
    GSFlags flags = 0;
    (void)ACAPI_MenuItem_GetMenuItemFlags(&item, &flags); // unread, the flags are just the check mark
    if (checked) {
        flags |= API_MenuItemChecked;
    } else {
        flags &= ~API_MenuItemChecked;
    }
    (void)ACAPI_MenuItem_SetMenuItemFlags(&item, &flags);
}

void QuillmarPalette::RunPageScript(const GS::UniString& script) {
    browser.ExecuteJS(script);
}

void QuillmarPalette::PanelCloseRequested(const DG::PanelCloseRequestEvent&, bool* accepted) {
    HidePalette();
    *accepted = true;
}

void QuillmarPalette::PanelResized(const DG::PanelResizeEvent& ev) {
    BeginMoveResizeItems();
    browser.Resize(ev.GetHorizontalChange(), ev.GetVerticalChange());
    EndMoveResizeItems();
}

void QuillmarPalette::RegisterAPIJavaScriptObject() {
    GS::Ref<JS::Object> object = GS::NewRef<JS::Object>(GS::UniString("QUILAPI"));
    for (const ScriptFunction& function : GetScriptFunctionTable())
        object->AddItem(GS::NewRef<JS::Function>(GS::UniString(function.name), function.handler));
    browser.RegisterAsynchJSObject(object);
}
