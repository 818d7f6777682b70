#include "QuillmarPalette.hpp"

#include "BuildConfig.hpp"
#include "HostBinding.hpp"
#include "Mapping/MappingFile.hpp"
#include "ResourceIds.hpp"
#include "ScriptFunctionTable.hpp"

#include "GSException.hpp"
#include "JSValues.hpp"

namespace {

constexpr short BrowserItemIndex = 1;
constexpr Int32 PaletteMenuItemIndex = 1;

// The process-wide palette reference. Written on the main thread only; jobs read it from their threads, so it
// sits behind a lock of its own.
std::mutex& InstanceMutex() {
    static std::mutex mutex;
    return mutex;
}

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
    : DG::Palette(GetResourceModule(), ID_PALETTE_DIALOG, GetPaletteGuid()), browser(*this, BrowserItemIndex) {
    publishRecord = PublishRecordData{};
    Attach(*this);
    BeginEventProcessing();
    browser.LoadURL(GS::UniString(WebApplicationURL));
    browser.SetContextMenuMode(DG::BrowserBase::NoContextMenu);
    RegisterAPIJavaScriptObject();
    publishRecord = PublishRecordData{GS::UniString(), GS::UniString(), GS::UniString("[]")};
}

QuillmarPalette::~QuillmarPalette() {
    EndEventProcessing();
    Detach(*this);
}

bool QuillmarPalette::HasInstance() {
    std::lock_guard lock(InstanceMutex());
    return Instance() != nullptr;
}

QuillmarPalette& QuillmarPalette::GetInstance() {
    std::lock_guard lock(InstanceMutex());
    return *Instance(); // throws GS::NullPointerException without a palette
}

GS::Ref<QuillmarPalette> QuillmarPalette::FindInstance() {
    std::lock_guard lock(InstanceMutex());
    return Instance();
}

void QuillmarPalette::CreateInstance() {
    GS::Ref<QuillmarPalette> created(new QuillmarPalette());
    GS::Ref<QuillmarPalette> earlier;
    {
        std::lock_guard lock(InstanceMutex());
        earlier = Instance();
        Instance() = created;
    }
    earlier.Clear(); // destroyed outside the lock: its destructor may reach the host
    created->keepInMemory.emplace();
}

void QuillmarPalette::DestroyInstance() {
    GS::Ref<QuillmarPalette> released;
    {
        std::lock_guard lock(InstanceMutex());
        released = Instance();
        Instance().Clear();
    }
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
    ACAPI_MenuItem_GetMenuItemFlags(&item, &flags);
    if (checked) {
        flags |= API_MenuItemChecked;
    } else {
        flags &= ~API_MenuItemChecked;
    }
    ACAPI_MenuItem_SetMenuItemFlags(&item, &flags);
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

void QuillmarPalette::CompleteExportModel(const GS::UniString& body) {
    {
        std::lock_guard lock(sharedStateMutex);
        lastIfcExportResponse = body;
    }
    RunPageScript("CompleteExportModel()");
}

void QuillmarPalette::FailExportModel() {
    RunPageScript("FailExportModel()");
}

void QuillmarPalette::CompleteExportPlan(const GS::UniString& body) {
    {
        std::lock_guard lock(sharedStateMutex);
        lastPlanExportResponse = body;
    }
    RunPageScript("CompleteExportPlan()");
}

void QuillmarPalette::FailExportPlan() {
    RunPageScript("FailExportPlan()");
}

void QuillmarPalette::CompleteExportPublish() {
    UInt32 run = 0;
    {
        std::lock_guard lock(sharedStateMutex);
        run = publishRun;
    }
    CompleteExportPublish(run);
}

void QuillmarPalette::CompleteExportPublish(UInt32 run) {
    bool last = false;
    {
        // Increment and comparison in one step, so jobs ending together report the run exactly once.
        std::lock_guard lock(sharedStateMutex);
        if (run != publishRun) return;
        ++PublishUploadCounter;
        last = PublishUploadCounter == publishSetItems.GetSize();
    }
    if (last) RunPageScript("CompleteExportPublish()");
}

void QuillmarPalette::SetPublishItemUploaded(UInt32 run, UIndex index, const GS::UniString& documentId) {
    std::lock_guard lock(sharedStateMutex);
    if (run != publishRun || index >= publishSetItems.GetSize()) return;
    publishSetItems[index].documentId = documentId;
    publishSetItems[index].uploaded = true;
}

void QuillmarPalette::SetLastIfcExportResponse(const GS::UniString& body) {
    std::lock_guard lock(sharedStateMutex);
    lastIfcExportResponse = body;
}

void QuillmarPalette::CompleteImportModels(const GS::Array<GS::UniString>& paths) {
    {
        std::lock_guard lock(sharedStateMutex);
        importList = paths;
    }
    RunPageScript("CompleteImportModels()");
}

void QuillmarPalette::InsertViewpoint(const GS::UniString& body) {
    {
        std::lock_guard lock(sharedStateMutex);
        snapshotResponse = body;
    }
    RunPageScript("InsertViewpoint()");
}

GS::UniString QuillmarPalette::GetLastIfcExportResponse() const {
    std::lock_guard lock(sharedStateMutex);
    return lastIfcExportResponse;
}

GS::UniString QuillmarPalette::GetLastPlanExportResponse() const {
    std::lock_guard lock(sharedStateMutex);
    return lastPlanExportResponse;
}

bool QuillmarPalette::LoadMappingFile(const IO::Location& file) {
    return ReadMappingFile(file, mappingList);
}

GS::UniString QuillmarPalette::GetSnapshotResponse() const {
    std::lock_guard lock(sharedStateMutex);
    return snapshotResponse;
}

GS::Array<GS::UniString> QuillmarPalette::GetImportList() const {
    std::lock_guard lock(sharedStateMutex);
    return importList;
}

void QuillmarPalette::ClearImportList() {
    std::lock_guard lock(sharedStateMutex);
    importList.Clear();
}

UInt32 QuillmarPalette::StartPublishRun(GS::Array<PublishSetItem> items) {
    std::lock_guard lock(sharedStateMutex);
    publishSetItems = std::move(items);
    PublishUploadCounter = 0;
    return ++publishRun;
}

void QuillmarPalette::WithPublishItems(const std::function<void(GS::Array<PublishSetItem>&)>& fn) {
    std::lock_guard lock(sharedStateMutex);
    fn(publishSetItems);
}

UInt32 QuillmarPalette::GetPublishUploadCounter() const {
    std::lock_guard lock(sharedStateMutex);
    return PublishUploadCounter;
}
