// A small add-on module for the simulated host's tests: the entry points, a menu, a palette with a browser and a
// script object "QUILAPI" whose functions reach the host's operations. Variants of the entry record (layout word,
// API version, a missing export or entry point) are chosen with FAKE_* definitions at build time.

#include "FakeIds.hpp"

#include "APIBinding.hpp"
#include "DGAlert.hpp"
#include "DGBrowser.hpp"
#include "DGDialog.hpp"
#include "DebugOutput.hpp"
#include "GSException.hpp"
#include "IFCObjectAccessor.hpp"
#include "JSValues.hpp"
#include "Location.hpp"
#include "RS.hpp"
#include "Thread.hpp"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef FAKE_LAYOUT
#define FAKE_LAYOUT API_EntryRecordLayout
#endif
#ifndef FAKE_API_VERSION
#define FAKE_API_VERSION API_HostVersion
#endif

namespace {

API_HostFunctionTable hostTable{};
bool tableDelivered = false;
void* hostToken = nullptr;
void* registrationValue = nullptr;
GSResModule resources = InvalidResModule;
std::string modulePath;

const GS::Guid PaletteGuid("{0F1E2D3C-4B5A-4978-8695-A4B3C2D1E0F9}");

// Calls a host operation through the table, with the token first.
template <typename... Params, typename... Args>
GSErrCode Host(GSErrCode (*API_HostFunctionTable::*slot)(void*, Params...), Args&&... args) {
    const auto operation = hostTable.*slot;
    if (!tableDelivered || operation == nullptr) return APIERR_NOTSUPPORTED;
    return operation(hostToken, std::forward<Args>(args)...);
}

void SetMenuCheck(bool checked) {
    const API_MenuItemRef item{ID_FAKE_MENU, 1};
    GSFlags flags = 0;
    Host(&API_HostFunctionTable::getMenuItemFlags, &item, &flags);
    flags = checked ? (flags | API_MenuItemChecked) : (flags & ~API_MenuItemChecked);
    Host(&API_HostFunctionTable::setMenuItemFlags, &item, flags);
}

GS::Ref<JS::Base> Text(const GS::UniString& text) {
    return GS::NewRef<JS::Value>(text);
}

GS::Ref<JS::Base> Integer(Int32 value) {
    return GS::NewRef<JS::Value>(value);
}

Int32 IntegerArgument(const GS::Ref<JS::Base>& arg) {
    const auto value = GS::CheckedCast<JS::Value>(arg);
    return value.IsNull() ? 0 : value->GetInteger();
}

GS::UniString StringArgument(const GS::Ref<JS::Base>& arg) {
    const auto value = GS::CheckedCast<JS::Value>(arg);
    return value.IsNull() ? GS::UniString() : value->GetString();
}

bool BoolArgument(const GS::Ref<JS::Base>& arg) {
    const auto value = GS::CheckedCast<JS::Value>(arg);
    return !value.IsNull() && value->GetBool();
}

double NumberArgument(const GS::Ref<JS::Base>& arg) {
    const auto value = GS::CheckedCast<JS::Value>(arg);
    return value.IsNull() ? 0.0 : value->GetDouble();
}

GS::Ref<JS::Base> Number(double value) {
    return GS::NewRef<JS::Value>(value);
}

GS::Ref<JS::Base> Flag(bool value) {
    return GS::NewRef<JS::Value>(value);
}

GS::Ref<JS::Base> Item(const GS::Ref<JS::Base>& arg, const char* name) {
    const auto object = GS::CheckedCast<JS::Object>(arg);
    return object.IsNull() ? GS::Ref<JS::Base>() : object->GetItem(name);
}

const GS::Array<GS::Ref<JS::Base>>& Items(const GS::Ref<JS::Base>& arg) {
    static const GS::Array<GS::Ref<JS::Base>> none;
    const auto array = GS::CheckedCast<JS::Array>(arg);
    return array.IsNull() ? none : array->GetItemArray();
}

GS::Ref<JS::Base> GuidText(const API_Guid& guid) {
    return Text(APIGuid2GSGuid(guid).ToUniString());
}

API_Guid GuidArgument(const GS::Ref<JS::Base>& arg) {
    return GSGuid2APIGuid(GS::Guid(StringArgument(arg)));
}

GS::Array<API_Guid> GuidListArgument(const GS::Ref<JS::Base>& arg) {
    GS::Array<API_Guid> guids;
    for (const auto& item : Items(arg))
        guids.Push(GuidArgument(item));
    return guids;
}

GS::Ref<JS::Object> Outcome(GSErrCode result) {
    auto object = GS::NewRef<JS::Object>();
    object->AddItem("result", Integer(result));
    return object;
}

// Handles the host gave that a test asked the add-on not to release; released when the module is unloaded, so that
// the host's count at quit sees them and nothing leaks.
std::vector<GSHandle> keptHandles;

void ReleaseOrKeep(GSHandle handle, bool keep) {
    if (handle == nullptr) return;
    if (keep) {
        keptHandles.push_back(handle);
    } else {
        BMKillHandle(&handle);
    }
}

std::optional<IFCAPI::ObjectAccessor> Accessor() {
    API_Guid token;
    if (Host(&API_HostFunctionTable::getOwnToken, registrationValue, &token) != NoError) return std::nullopt;
    auto accessor = IFCAPI::ObjectAccessor::GetObjectAccessor(token);
    if (accessor.IsErr()) return std::nullopt;
    return std::move(accessor).Unwrap();
}

GS::Ref<JS::Base> OptionalText(const ACAPI::Result<GS::UniString>& text) {
    return text.IsOk() ? Text(text.Unwrap()) : GS::Ref<JS::Base>();
}

class FakePalette;
std::unique_ptr<FakePalette> palette;
// Whether the palette answers message 7 (a test makes it forget to).
bool answersVisibility = true;

GSErrCode ProjectEventHandler(API_NotifyEventID event, Int32);

class FakePalette final : public DG::Palette, public DG::PanelObserver {
public:
    FakePalette() : DG::Palette(resources, ID_FAKE_PALETTE, PaletteGuid), browser(*this, 1) {
        Attach(*this);
        BeginEventProcessing();
        browser.LoadURL("https://fake.example/app");
        browser.SetContextMenuMode(DG::BrowserBase::NoContextMenu);
        RegisterScriptObject();
    }

    ~FakePalette() override {
        EndEventProcessing();
        Detach(*this);
    }

    void ShowPalette() {
        Show();
        SetMenuCheck(true);
    }

    void HidePalette() {
        Hide();
        SetMenuCheck(false);
    }

    // [thread-safe]
    void RunPageScript(const GS::UniString& script) { browser.ExecuteJS(script); }

    void PanelCloseRequested(const DG::PanelCloseRequestEvent&, bool* accepted) override {
        HidePalette();
        *accepted = true;
    }

    void PanelResized(const DG::PanelResizeEvent& ev) override {
        BeginMoveResizeItems();
        browser.Resize(ev.GetHorizontalChange(), ev.GetVerticalChange());
        EndMoveResizeItems();
    }

private:
    void RegisterScriptObject();

    DG::Browser browser;
};

// Runs `count` scripts "<name>(<index>, <i>)" in the page, one after the other, on its own thread.
class ScriptJob final : public GS::Runnable {
public:
    ScriptJob(std::string name, Int32 index, Int32 count, UInt32 delayMs)
        : name(std::move(name)), index(index), count(count), delayMs(delayMs) {}

    void Run() override {
        if (delayMs > 0) GS::Thread::Sleep(delayMs);
        for (Int32 i = 0; i < count; ++i) {
            if (palette) palette->RunPageScript(GS::UniString::Printf("%s(%d, %d)", name.c_str(), index, i));
        }
    }

private:
    std::string name;
    Int32 index;
    Int32 count;
    UInt32 delayMs;
};

void StartJob(std::string name, Int32 index, Int32 count, UInt32 delayMs) {
    GS::Thread thread(GS::RunnableTask(new ScriptJob(name, index, count, delayMs)), GS::UniString(name.c_str()));
    thread.Start();
}

GS::Ref<JS::Base> ElementSummary() {
    GS::Array<API_Guid> elements;
    auto result = GS::NewRef<JS::Object>();
    if (Host(&API_HostFunctionTable::getElementList, API_AnyElemTypeID, &APINULLGuid, 0, &APINULLGuid, &elements) !=
        NoError) {
        result->AddItem("listed", GS::NewRef<JS::Value>(false));
        return result;
    }
    double lo[3] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                    std::numeric_limits<double>::max()};
    double hi[3] = {-lo[0], -lo[1], -lo[2]};
    Int32 withBounds = 0;
    auto guids = GS::NewRef<JS::Array>();
    for (const API_Guid& guid : elements) {
        API_Elem_Head head;
        head.guid = guid;
        guids->AddItem(Text(APIGuid2GSGuid(guid).ToUniString()));
        if (Host(&API_HostFunctionTable::getElementHeader, &head) != NoError) continue;
        API_Box3D box;
        if (Host(&API_HostFunctionTable::getElement3DBounds, &head, &box) != NoError) continue;
        ++withBounds;
        lo[0] = std::min(lo[0], box.xMin);
        lo[1] = std::min(lo[1], box.yMin);
        lo[2] = std::min(lo[2], box.zMin);
        hi[0] = std::max(hi[0], box.xMax);
        hi[1] = std::max(hi[1], box.yMax);
        hi[2] = std::max(hi[2], box.zMax);
    }
    result->AddItem("listed", GS::NewRef<JS::Value>(true));
    result->AddItem("guids", guids);
    result->AddItem("withBounds", Integer(withBounds));
    if (withBounds > 0) {
        auto centre = GS::NewRef<JS::Array>();
        for (int axis = 0; axis < 3; ++axis)
            centre->AddItem(GS::NewRef<JS::Value>((lo[axis] + hi[axis]) / 2.0));
        result->AddItem("centre", centre);
    }
    return result;
}

void FakePalette::RegisterScriptObject() {
    auto object = GS::NewRef<JS::Object>("QUILAPI");
    const auto add = [&object](const char* name, JS::Function::Callable callable) {
        object->AddItem(GS::NewRef<JS::Function>(GS::UniString(name), std::move(callable)));
    };
    add("Echo", [](GS::Ref<JS::Base> arg) { return arg; });
    add("Nothing", [](GS::Ref<JS::Base>) { return GS::Ref<JS::Base>(); });
    add("Fail", [](GS::Ref<JS::Base>) -> GS::Ref<JS::Base> { throw GS::ClassCastException(); });
    add("FailStd", [](GS::Ref<JS::Base>) -> GS::Ref<JS::Base> { throw std::runtime_error("plain failure"); });
    add("DecodeString", [](GS::Ref<JS::Base> arg) { return Text(StringArgument(arg)); });
    add("RunScripts", [](GS::Ref<JS::Base> arg) {
        const Int32 count = IntegerArgument(arg);
        for (Int32 i = 1; i <= count; ++i)
            palette->RunPageScript(GS::UniString::Printf("Step(%d)", i));
        return GS::Ref<JS::Base>(GS::NewRef<JS::Value>(true));
    });
    add("StartWorkers", [](GS::Ref<JS::Base> arg) {
        const auto counts = GS::CheckedCast<JS::Array>(arg);
        const Int32 threads = IntegerArgument(counts->GetItemArray()[0]);
        const Int32 scripts = IntegerArgument(counts->GetItemArray()[1]);
        for (Int32 t = 0; t < threads; ++t)
            StartJob("Worker", t, scripts, 0);
        return GS::Ref<JS::Base>(GS::NewRef<JS::Value>(true));
    });
    add("StartSleeper", [](GS::Ref<JS::Base> arg) {
        StartJob("Slept", 0, 1, static_cast<UInt32>(IntegerArgument(arg)));
        return GS::Ref<JS::Base>(GS::NewRef<JS::Value>(true));
    });
    add("Alert",
        [](GS::Ref<JS::Base> arg) { return Integer(DG::InformationAlert(StringArgument(arg), "", "OK", "Cancel")); });
    add("Modal", [](GS::Ref<JS::Base>) {
        DG::ModalDialog dialog(resources, ID_FAKE_MODAL);
        return GS::Ref<JS::Base>(GS::NewRef<JS::Value>(dialog.Invoke()));
    });
    add("ProjectName", [](GS::Ref<JS::Base>) {
        API_ProjectInfo info;
        if (Host(&API_HostFunctionTable::getProjectInfo, &info) != NoError) return Text("");
        return Text(info.untitled ? GS::UniString("Untitled") : info.projectName);
    });
    add("Language", [](GS::Ref<JS::Base>) {
        API_ServerApplicationInfo info;
        if (Host(&API_HostFunctionTable::getApplicationInfo, &info) != NoError) return Text("");
        return Text(info.language);
    });
    add("Folder", [](GS::Ref<JS::Base> arg) {
        IO::Location location;
        GS::UniString path;
        if (Host(&API_HostFunctionTable::getSpecialFolder, IntegerArgument(arg), &location) != NoError ||
            location.ToPath(&path) != NoError)
            return Text("");
        return Text(path);
    });
    add("Elements", [](GS::Ref<JS::Base>) { return ElementSummary(); });
    add("OwnToken", [](GS::Ref<JS::Base>) {
        API_Guid token;
        if (Host(&API_HostFunctionTable::getOwnToken, registrationValue, &token) != NoError) return Text("");
        return Text(APIGuid2GSGuid(token).ToUniString());
    });
    add("Command", [](GS::Ref<JS::Base> arg) {
        const std::string code = StringArgument(arg).ToCStr().ToString();
        UInt32 value = 0;
        for (char ch : code)
            value = (value << 8) | static_cast<unsigned char>(ch);
        return Integer(Host(&API_HostFunctionTable::command, value, nullptr, nullptr, nullptr, nullptr));
    });
    add("Keep", [](GS::Ref<JS::Base> arg) {
        const auto value = GS::CheckedCast<JS::Value>(arg);
        return Integer(Host(&API_HostFunctionTable::keepInMemory, !value.IsNull() && value->GetBool()));
    });
    add("Select", [](GS::Ref<JS::Base> arg) {
        GS::Array<API_Neig> neigs;
        for (const API_Guid& guid : GuidListArgument(Item(arg, "guids"))) {
            API_Neig neig;
            neig.guid = guid;
            neigs.Push(neig);
        }
        return Integer(Host(&API_HostFunctionTable::selectElements, &neigs, BoolArgument(Item(arg, "add"))));
    });
    add("DeselectAll", [](GS::Ref<JS::Base>) { return Integer(Host(&API_HostFunctionTable::deselectAll)); });
    // The argument true keeps the marquee handle instead of releasing it; an object {"onlyEditable": bool,
    // "ignorePartial": bool} passes the query's options and releases it.
    add("Selection", [](GS::Ref<JS::Base> arg) {
        const bool withOptions = !GS::DynamicCast<JS::Object>(arg).IsNull();
        const bool onlyEditable = withOptions && BoolArgument(Item(arg, "onlyEditable"));
        const bool ignorePartial = withOptions && BoolArgument(Item(arg, "ignorePartial"));
        API_SelectionInfo info;
        GS::Array<API_Neig> neigs;
        const GSErrCode result =
            Host(&API_HostFunctionTable::getSelection, &info, &neigs, onlyEditable, ignorePartial, 0);
        auto outcome = Outcome(result);
        if (result != NoError) return GS::Ref<JS::Base>(outcome);
        auto guids = GS::NewRef<JS::Array>();
        for (const API_Neig& neig : neigs)
            guids->AddItem(neig.neigID == 0 ? GuidText(neig.guid) : Text("neigID set"));
        outcome->AddItem("guids", guids);
        outcome->AddItem("typeID", Integer(info.typeID));
        outcome->AddItem("count", Integer(info.sel_nElem));
        outcome->AddItem("editable", Integer(info.sel_nElemEdit));
        if (info.marquee.coords != nullptr) {
            auto points = GS::NewRef<JS::Array>();
            const auto* coords = reinterpret_cast<const API_Coord*>(*info.marquee.coords);
            for (Int32 i = 0; i < info.marquee.nCoords; ++i) {
                auto point = GS::NewRef<JS::Array>();
                point->AddItem(Number(coords[i].x));
                point->AddItem(Number(coords[i].y));
                points->AddItem(point);
            }
            outcome->AddItem("marquee", points);
        }
        ReleaseOrKeep(info.marquee.coords, !withOptions && BoolArgument(arg));
        return GS::Ref<JS::Base>(outcome);
    });
    add("ElementName", [](GS::Ref<JS::Base> arg) {
        API_Guid guid = GuidArgument(arg);
        GS::UniString name = "untouched";
        auto outcome =
            Outcome(Host(&API_HostFunctionTable::command, APICmd_ElementInfoString, &guid, &name, nullptr, nullptr));
        outcome->AddItem("name", Text(name));
        return outcome;
    });
    // The argument true keeps the shapes handle instead of releasing it.
    add("CutPlanes", [](GS::Ref<JS::Base> arg) {
        API_3DCutPlanesInfo info;
        const GSErrCode result =
            Host(&API_HostFunctionTable::command, APICmd_Get3DCuttingPlanes, &info, nullptr, nullptr, nullptr);
        auto outcome = Outcome(result);
        if (result != NoError) return outcome;
        outcome->AddItem("on", Flag(info.isCutPlanes));
        outcome->AddItem("handle", Flag(info.shapes != nullptr));
        auto planes = GS::NewRef<JS::Array>();
        const auto* shapes =
            info.shapes != nullptr ? reinterpret_cast<const API_3DCutShapeType*>(*info.shapes) : nullptr;
        for (UInt16 i = 0; shapes != nullptr && i < info.nShapes; ++i) {
            auto plane = GS::NewRef<JS::Array>();
            for (const double coefficient : {shapes[i].pa, shapes[i].pb, shapes[i].pc, shapes[i].pd})
                plane->AddItem(Number(coefficient));
            planes->AddItem(plane);
        }
        outcome->AddItem("planes", planes);
        ReleaseOrKeep(info.shapes, BoolArgument(arg));
        return outcome;
    });
    // {"on": bool, "planes": [[a, b, c, d], ...]}; the add-on's handle is released after the call.
    add("SetCutPlanes", [](GS::Ref<JS::Base> arg) {
        const auto& planes = Items(Item(arg, "planes"));
        API_3DCutPlanesInfo info;
        info.isCutPlanes = BoolArgument(Item(arg, "on"));
        info.nShapes = static_cast<UInt16>(planes.GetSize());
        if (info.nShapes > 0) {
            info.shapes =
                BMAllocateHandle(static_cast<GSSize>(info.nShapes * sizeof(API_3DCutShapeType)), ALLOCATE_CLEAR, 0);
            auto* shapes = reinterpret_cast<API_3DCutShapeType*>(*info.shapes);
            for (UInt16 i = 0; i < info.nShapes; ++i) {
                const auto& c = Items(planes[i]);
                shapes[i].pa = NumberArgument(c[0]);
                shapes[i].pb = NumberArgument(c[1]);
                shapes[i].pc = NumberArgument(c[2]);
                shapes[i].pd = NumberArgument(c[3]);
            }
        }
        const GSErrCode result =
            Host(&API_HostFunctionTable::command, APICmd_Change3DCuttingPlanes, &info, nullptr, nullptr, nullptr);
        BMKillHandle(&info.shapes);
        return Integer(result);
    });
    add("Window", [](GS::Ref<JS::Base> arg) {
        API_WindowInfo window;
        window.typeID = IntegerArgument(arg);
        return Integer(Host(&API_HostFunctionTable::command, APICmd_ChangeWindow, &window, nullptr, nullptr, nullptr));
    });
    add("Zoom", [](GS::Ref<JS::Base> arg) {
        GS::Array<API_Guid> guids = GuidListArgument(arg);
        return Integer(Host(&API_HostFunctionTable::command, APICmd_ZoomToElements, &guids, nullptr, nullptr, nullptr));
    });
    // A GlobalId: the elements of the objects carrying it, in the accessor's order.
    add("Resolve", [](GS::Ref<JS::Base> arg) -> GS::Ref<JS::Base> {
        const auto accessor = Accessor();
        if (!accessor) return Text("no accessor");
        const auto objects = accessor->FindElementsByGlobalId(StringArgument(arg));
        if (objects.IsErr()) return Text("not found");
        auto elements = GS::NewRef<JS::Array>();
        for (const IFCAPI::ObjectID& carrier : objects.Unwrap()) {
            const auto element = accessor->GetAPIElementID(carrier);
            elements->AddItem(element.IsOk() ? GuidText(element.Unwrap()) : Text("no element"));
        }
        return elements;
    });
    // A GUID: the element's GlobalIds, null where the accessor gives none.
    add("GlobalIds", [](GS::Ref<JS::Base> arg) -> GS::Ref<JS::Base> {
        const auto accessor = Accessor();
        if (!accessor) return Text("no accessor");
        API_Elem_Head head;
        head.guid = GuidArgument(arg);
        const auto ifcObject = accessor->CreateElementObjectID(head);
        if (ifcObject.IsErr()) return Text("no object");
        auto result = GS::NewRef<JS::Object>();
        result->AddItem("own", OptionalText(accessor->GetGlobalId(ifcObject.Unwrap())));
        result->AddItem("external", OptionalText(accessor->GetExternalGlobalId(ifcObject.Unwrap())));
        return result;
    });
    // Subscribes to the project events of the mask (0 unsubscribes).
    add("ProjectEvents", [](GS::Ref<JS::Base> arg) {
        return Integer(
            Host(&API_HostFunctionTable::catchProjectEvent, GSFlags{IntegerArgument(arg)}, &ProjectEventHandler));
    });
    add("AnswerVisibility", [](GS::Ref<JS::Base> arg) {
        answersVisibility = BoolArgument(arg);
        return GS::Ref<JS::Base>();
    });
    add("Debug", [](GS::Ref<JS::Base> arg) {
        GS::WriteDebugOutput(StringArgument(arg).ToCStr().Get());
        return GS::Ref<JS::Base>();
    });
    browser.RegisterAsynchJSObject(object);
}

// ---- Handlers ----

GSErrCode MenuCommandHandler(const API_MenuParams* params) {
    if (params->menuItemRef.menuResID != ID_FAKE_MENU) {
        // Another menu's command: left alone, but said, so that a test sees the handler was reached.
        const std::string line = "menu " + std::to_string(params->menuItemRef.menuResID) + " is not mine";
        GS::WriteDebugOutput(line.c_str());
        return NoError;
    }
    if (palette && palette->IsVisible()) {
        palette->HidePalette();
    } else {
        if (!palette) {
            palette = std::make_unique<FakePalette>();
            Host(&API_HostFunctionTable::keepInMemory, true);
        }
        palette->ShowPalette();
    }
    return NoError;
}

GSErrCode PaletteControlCallback(Int32, API_PaletteMessageID message, std::intptr_t param) {
    switch (message) {
    case APIPalMsg_ClosePalette:
        if (palette) palette->HidePalette();
        break;
    case APIPalMsg_HidePalette_Begin:
        if (palette && palette->IsVisible()) palette->HidePalette();
        break;
    case APIPalMsg_HidePalette_End:
        if (palette && !palette->IsVisible()) palette->ShowPalette();
        break;
    case APIPalMsg_DisableItems_Begin:
        if (palette && palette->IsVisible()) palette->DisableItems();
        break;
    case APIPalMsg_DisableItems_End:
        if (palette && palette->IsVisible()) palette->EnableItems();
        break;
    case APIPalMsg_OpenPalette:
        if (!palette) palette = std::make_unique<FakePalette>();
        palette->ShowPalette();
        break;
    case APIPalMsg_IsPaletteVisible:
        if (answersVisibility) *reinterpret_cast<bool*>(param) = palette && palette->IsVisible();
        break;
    }
    return NoError;
}

GSErrCode SelectionChangeHandler(const API_Neig*) {
    if (palette) palette->RunPageScript("UpdateSelectedElements()");
    return NoError;
}

GSErrCode ProjectEventHandler(API_NotifyEventID event, Int32) {
    if (!palette) return NoError;
    palette->RunPageScript(event == APINotify_Open
                               ? GS::UniString("RequestFileName()")
                               : GS::UniString::Printf("ProjectEvent(%d)", static_cast<int>(event)));
    return NoError;
}

// ---- Entry points, each behind its guard ----

API_AddonType DescribeAddOn(API_EnvirParams* envir) {
    if (!tableDelivered) return APIAddon_DontRegister;
    RSGetIndString_ParamAdapter(&envir->addOnInfo.name, ID_FAKE_INFO, 1, resources);
    RSGetIndString_ParamAdapter(&envir->addOnInfo.description, ID_FAKE_INFO, 2, resources);
    return APIAddon_Preload;
}

GSErrCode RegisterInterface(void* value) {
    if (!tableDelivered) return APIERR_GENERAL;
    registrationValue = value;
    return Host(&API_HostFunctionTable::registerMenu, ID_FAKE_MENU, 0, MenuCode_UserDef, MenuFlag_Default);
}

GSErrCode Initialize(void* token) {
    if (!tableDelivered) return APIERR_GENERAL;
    hostToken = token;
    GSErrCode err = Host(&API_HostFunctionTable::installMenuHandler, ID_FAKE_MENU, &MenuCommandHandler);
    if (err != NoError) return err;
    API_PaletteRegistration registration;
    const auto words = PaletteGuid.GetMemoryWords();
    registration.referenceID = static_cast<Int32>(words[0] + words[1] + words[2] + words[3]);
    registration.callback = &PaletteControlCallback;
    registration.enableFlags = 0x3F7;
    registration.paletteGuid = GSGuid2APIGuid(PaletteGuid);
    err = Host(&API_HostFunctionTable::registerModelessPalette, &registration);
    if (err != NoError) return err;
    err = Host(&API_HostFunctionTable::catchSelectionChange, &SelectionChangeHandler);
    if (err != NoError) return err;
    return Host(&API_HostFunctionTable::catchProjectEvent, GSFlags{APINotify_Open}, &ProjectEventHandler);
}

[[maybe_unused]] GSErrCode Release(void*) {
    if (!tableDelivered) return APIERR_GENERAL;
    hostToken = nullptr;
    return NoError;
}

int ModuleAnchor = 0;

// Opens the resources when the module is loaded and closes them, with the palette, when it is unloaded.
struct ModuleLifetime {
    ModuleLifetime() {
        resources = RSInitModuleImageCache(&ModuleAnchor);
        Dl_info info;
        if (dladdr(&ModuleAnchor, &info) != 0 && info.dli_fname != nullptr) modulePath = info.dli_fname;
    }
    ~ModuleLifetime() {
        palette.reset();
        for (GSHandle& handle : keptHandles)
            BMKillHandle(&handle);
        keptHandles.clear();
        RSRemoveModuleImageCache(resources);
        RS::ResModuleClosed(resources);
        resources = InvalidResModule;
        if (hostToken != nullptr) {
            const std::string line = "Abnormal add-on termination (\"" + modulePath + "\")\n";
            GS::WriteDebugOutput(line.c_str());
            hostToken = nullptr;
        }
    }
};

ModuleLifetime lifetime;

} // namespace

extern "C" {

ACAPI_DLL_EXPORT GSErrCode GetExportedFuncAddrs(API_AddOnEntryRecord* record) {
    std::memset(record, 0, sizeof *record);
    record->layout = FAKE_LAYOUT;
    record->describeAddOn = &DescribeAddOn;
    record->registerInterface = &RegisterInterface;
    record->initialize = &Initialize;
#ifndef FAKE_WITHOUT_RELEASE
    record->release = &Release;
#endif
    record->apiVersion = FAKE_API_VERSION;
    return NoError;
}

#ifndef FAKE_WITHOUT_SET_EXPORT
ACAPI_DLL_EXPORT GSErrCode SetImportedFuncAddrs(const API_HostFunctionTable* table) {
    std::memcpy(&hostTable, table, sizeof hostTable);
    tableDelivered = true;
    return NoError;
}
#endif
}
