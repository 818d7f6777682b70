#include "HostServices.hpp"

#include "IfcFileReader.hpp"
#include "IfcFileWriter.hpp"
#include "IfcHostModel.hpp"
#include "MenuText.hpp"
#include "ScriptValues.hpp"

#include "MemoryManager.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_set>

namespace HostSim {

namespace {

constexpr std::array<std::pair<API_HostSlot, const char*>, static_cast<std::size_t>(API_HostSlot::Count)> SlotNames{{
    {API_HostSlot::Command, "command"},
    {API_HostSlot::KeepInMemory, "keepInMemory"},
    {API_HostSlot::InstallMenuHandler, "installMenuHandler"},
    {API_HostSlot::RegisterMenu, "registerMenu"},
    {API_HostSlot::RegisterModelessPalette, "registerModelessPalette"},
    {API_HostSlot::CatchSelectionChange, "catchSelectionChange"},
    {API_HostSlot::CatchProjectEvent, "catchProjectEvent"},
    {API_HostSlot::GetMenuItemFlags, "getMenuItemFlags"},
    {API_HostSlot::SetMenuItemFlags, "setMenuItemFlags"},
    {API_HostSlot::GetApplicationInfo, "getApplicationInfo"},
    {API_HostSlot::GetProjectInfo, "getProjectInfo"},
    {API_HostSlot::GetSpecialFolder, "getSpecialFolder"},
    {API_HostSlot::GetElementList, "getElementList"},
    {API_HostSlot::GetElementHeader, "getElementHeader"},
    {API_HostSlot::GetElement3DBounds, "getElement3DBounds"},
    {API_HostSlot::GetOwnToken, "getOwnToken"},
    {API_HostSlot::GetSelection, "getSelection"},
    {API_HostSlot::DeselectAll, "deselectAll"},
    {API_HostSlot::SelectElements, "selectElements"},
    {API_HostSlot::NewParameterList, "newParameterList"},
    {API_HostSlot::AddParameter, "addParameter"},
    {API_HostSlot::GetParameter, "getParameter"},
    {API_HostSlot::ChangeParameter, "changeParameter"},
    {API_HostSlot::FreeParameterList, "freeParameterList"},
    {API_HostSlot::CallAddOnCommand, "callAddOnCommand"},
    {API_HostSlot::GetPropertyGroups, "getPropertyGroups"},
    {API_HostSlot::GetPropertyDefinitions, "getPropertyDefinitions"},
    {API_HostSlot::GetIFCExportTranslators, "getIFCExportTranslators"},
    {API_HostSlot::CopyHandle, "copyHandle"},
    {API_HostSlot::SaveProject, "saveProject"},
    {API_HostSlot::ElementFilter, "elementFilter"},
    {API_HostSlot::OpenProject, "openProject"},
    {API_HostSlot::GetElement, "getElement"},
    {API_HostSlot::CreateElement, "createElement"},
    {API_HostSlot::UndoableCommand, "undoableCommand"},
}};

constexpr bool EverySlotHasItsName() {
    for (std::size_t i = 0; i < SlotNames.size(); ++i)
        if (SlotNames[i].second == nullptr || static_cast<std::size_t>(SlotNames[i].first) != i) return false;
    return true;
}
static_assert(EverySlotHasItsName(), "each slot of API_HostSlot needs its name here, in table order");

// The IFC object accessor's queries, by the accessor's names for them.
constexpr std::array<const char*, 6> IfcQueryNames{"GetObjectAccessor",     "FindElementsByGlobalId", "GetAPIElementID",
                                                   "CreateElementObjectID", "GetExternalGlobalId",    "GetGlobalId"};

// The marquee as the host reports it: its rectangle as a closed polygon, the first point repeated at the end.
std::array<API_Coord, 5> MarqueePolygon(const MarqueeArea& area) {
    return {{{area.xMin, area.yMin},
             {area.xMax, area.yMin},
             {area.xMax, area.yMax},
             {area.xMin, area.yMax},
             {area.xMin, area.yMin}}};
}

enum class MarqueeCover { None, Partly, Wholly };

// How much of an element's plan the marquee covers, edges included. An element without bounds cannot be placed, so
// it counts as covered.
MarqueeCover Cover(const MarqueeArea& area, const std::optional<API_Box3D>& bounds) {
    if (!bounds) return MarqueeCover::Wholly;
    if (bounds->xMax < area.xMin || bounds->xMin > area.xMax || bounds->yMax < area.yMin || bounds->yMin > area.yMax)
        return MarqueeCover::None;
    const bool inside = bounds->xMin >= area.xMin && bounds->xMax <= area.xMax && bounds->yMin >= area.yMin &&
                        bounds->yMax <= area.yMax;
    return inside ? MarqueeCover::Wholly : MarqueeCover::Partly;
}

// The transcript's names of the project events in a subscription's mask.
Line ProjectEventNames(GSFlags mask) {
    Line names = Line::array();
    for (const ProjectEventKind& kind : ProjectEventKinds)
        if ((mask & static_cast<GSFlags>(kind.id)) != 0) names.push_back(kind.name);
    return names;
}

using GuidSet = std::unordered_set<API_Guid, ApiGuidHash>;

bool SameShapes(const std::vector<API_3DCutShapeType>& a, const std::vector<API_3DCutShapeType>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.cutStatus == y.cutStatus && x.cutPen == y.cutPen && x.cutMater == y.cutMater && x.pa == y.pa &&
               x.pb == y.pb && x.pc == y.pc && x.pd == y.pd;
    });
}

// A GUID made from two 64-bit numbers, marked as a version 4 GUID of the standard variant.
API_Guid GuidFromBits(UInt64 high, UInt64 low) {
    API_Guid guid;
    guid.time_low = static_cast<UInt32>(high >> 32);
    guid.time_mid = static_cast<UInt16>(high >> 16);
    guid.time_hi_and_version = static_cast<UInt16>((high & 0x0FFF) | 0x4000);
    guid.clock_seq_hi_and_reserved = static_cast<UInt8>(((low >> 56) & 0x3F) | 0x80);
    guid.clock_seq_low = static_cast<UInt8>(low >> 48);
    for (int i = 0; i < 6; ++i)
        guid.node[i] = static_cast<UInt8>(low >> (40 - 8 * i));
    return guid;
}

UInt64 Fnv1a(const std::string& text, UInt64 hash) {
    for (const unsigned char ch : text) {
        hash ^= ch;
        hash *= 0x100000001B3ull;
    }
    return hash;
}

// The GUID of the element at `position` of an opened file: the same for the same file in every run, so transcripts
// compare; `salt` moves it off a GUID already taken.
API_Guid ImportedGuid(const std::string& globalId, std::size_t position, UInt32 salt) {
    const std::string key = globalId + '#' + std::to_string(position) + '#' + std::to_string(salt);
    return GuidFromBits(Fnv1a(key, 0xCBF29CE484222325ull), Fnv1a(key, 0x84222325CBF29CE4ull));
}

// The bounds the host gives an element it knows only a point of: a unit box around it, so fitting and zooming work.
API_Box3D BoxAround(const std::array<double, 3>& point) {
    return API_Box3D{.xMin = point[0] - 0.5,
                     .yMin = point[1] - 0.5,
                     .xMax = point[0] + 0.5,
                     .yMax = point[1] + 0.5,
                     .zMin = point[2] - 0.5,
                     .zMax = point[2] + 0.5};
}

// The table's functions find the host through this; guarded so that a call from a worker thread during the host's
// shutdown sees either the whole host or none. Calls on the active host's main thread, where it is made active and
// retired, read it without the lock: the add-on calls the host thousands of times per page call.
std::mutex activeMutex;
HostServices* active = nullptr;
std::atomic<HostServices*> activeOnMainThread{nullptr};
std::atomic<std::thread::id> activeMainThread{};

} // namespace

const char* GetSlotName(API_HostSlot slot) noexcept {
    for (const auto& [s, name] : SlotNames)
        if (s == slot) return name;
    return "?";
}

std::optional<API_HostSlot> FindSlot(const std::string& name) {
    for (const auto& [slot, slotName] : SlotNames)
        if (name == slotName) return slot;
    return std::nullopt;
}

bool IsIfcQueryName(const std::string& name) {
    return std::any_of(IfcQueryNames.begin(), IfcQueryNames.end(),
                       [&name](const char* query) { return name == query; });
}

bool IsFailableOperation(const std::string& name) {
    if (FindSlot(name) || IsIfcQueryName(name) || name == ThreadStartOperation) return true;
    return name.size() == 4 && std::all_of(name.begin(), name.end(), [](char ch) { return ch >= 0x20 && ch <= 0x7E; });
}

struct HostServices::Operations {
    // The services a call may use, or nullptr with *refusal set. `failName` is what the scenario names to make the
    // call fail.
    static HostServices* Enter(void* token, std::string_view operation, std::string_view failName, GSErrCode* refusal) {
        *refusal = APIERR_GENERAL;
        if (activeMainThread.load(std::memory_order_acquire) == std::this_thread::get_id()) {
            HostServices* host = activeOnMainThread.load(std::memory_order_relaxed);
            if (host != nullptr && host->tokenPhase != TokenPhase::Revoked &&
                (token == host->GetHostToken() || (token == nullptr && host->tokenPhase == TokenPhase::NotIssued))) {
                if (!host->state.failing.empty() && host->state.failing.contains(failName)) {
                    host->transcript->Write(Line{{"failed", std::string(failName)}});
                    return nullptr;
                }
                return host;
            }
        }
        std::shared_ptr<Transcript> report;
        std::string problem;
        {
            const std::lock_guard lock(activeMutex);
            HostServices* host = active;
            if (host == nullptr) return nullptr; // no host is running: nobody to tell
            if (!host->mainThread->IsCurrent()) {
                report = host->transcript;
                problem = " was called outside the main thread";
            } else if (host->tokenPhase == TokenPhase::Revoked) {
                report = host->transcript;
                problem = " was called after the add-on was released";
            } else if (token != host->GetHostToken() &&
                       !(token == nullptr && host->tokenPhase == TokenPhase::NotIssued)) {
                report = host->transcript;
                problem = " was called with a token that is not the host's";
            } else if (!host->state.failing.empty() && host->state.failing.contains(failName)) {
                host->transcript->Write(Line{{"failed", std::string(failName)}});
                return nullptr;
            } else {
                return host;
            }
        }
        report->Error(std::string(operation) + problem);
        return nullptr;
    }

    static HostServices* Enter(void* token, API_HostSlot slot, GSErrCode* refusal) {
        const char* name = GetSlotName(slot);
        return Enter(token, name, name, refusal);
    }

    static GSErrCode Command(void* token, UInt32 code, void* arg1, void* arg2, void* arg3, void* arg4) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::Command, &refusal);
        if (host == nullptr) return refusal;
        const auto handler = host->commands.find(code);
        // The code's text only when a scenario makes something fail or the code is unknown: commands are hot.
        if (!host->state.failing.empty() || handler == host->commands.end()) {
            const std::string codeText = ToUtf8(API_FourCharCodeToText(code));
            if (host->state.failing.contains(codeText)) {
                host->transcript->Write(Line{{"failed", codeText}});
                return APIERR_GENERAL;
            }
        }
        if (handler != host->commands.end()) return handler->second(arg1, arg2, arg3, arg4);
        const std::string codeText = ToUtf8(API_FourCharCodeToText(code));
        host->state.unknownCommands.push_back(code);
        host->transcript->Write(Line{{"command", codeText}, {"supported", false}});
        return APIERR_NOTSUPPORTED;
    }

    static GSErrCode KeepInMemory(void* token, bool keep) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::KeepInMemory, &refusal);
        if (host == nullptr) return refusal;
        Int32& count = host->state.keepInMemoryCount;
        count = keep ? count + 1 : std::max(count - 1, 0);
        return NoError;
    }

    static GSErrCode InstallMenuHandler(void* token, Int32 menuResID, APIMenuCommandProc* handler) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::InstallMenuHandler, &refusal);
        if (host == nullptr) return refusal;
        if (handler == nullptr) {
            host->state.menuHandlers.erase(menuResID);
        } else {
            host->state.menuHandlers[menuResID] = handler;
        }
        return NoError;
    }

    static GSErrCode RegisterMenu(void* token, Int32 menuStrResID, Int32 promptStrResID, API_MenuCodeID menuPosCode,
                                  GSFlags menuFlags) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::RegisterMenu, &refusal);
        if (host == nullptr) return refusal;
        if (!host->registeringInterface) {
            host->transcript->Error("registerMenu is only allowed while the add-on registers its interface");
            return APIERR_GENERAL;
        }
        GS::Array<GS::UniString> strings;
        if (!RS::GetStringList(&strings, menuStrResID, host->resources) || strings.GetSize() < 2) {
            host->transcript->Error("registerMenu: the module has no string list " + std::to_string(menuStrResID) +
                                    " with a title and an item");
            return APIERR_GENERAL;
        }
        RegisteredMenu menu;
        menu.menuResID = menuStrResID;
        menu.promptResID = promptStrResID;
        menu.position = menuPosCode;
        menu.flags = menuFlags;
        menu.title = ToUtf8(strings[0]);
        Line items = Line::array();
        for (UIndex i = 1; i < strings.GetSize(); ++i) {
            const MenuItemText parsed = ParseMenuItemText(ToUtf8(strings[i]));
            menu.items.push_back(MenuItemState{parsed.text, parsed.controls, parsed.icon, 0});
            Line item{{"text", parsed.text}};
            if (parsed.icon) item["icon"] = *parsed.icon;
            items.push_back(std::move(item));
        }
        std::erase_if(host->state.menus, [&](const RegisteredMenu& m) { return m.menuResID == menuStrResID; });
        host->state.menus.push_back(std::move(menu));
        host->transcript->Write(
            Line{{"menuRegistered", Line{{"id", menuStrResID}, {"title", ToUtf8(strings[0])}, {"items", items}}}});
        return NoError;
    }

    static GSErrCode RegisterModelessPalette(void* token, const API_PaletteRegistration* registration) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::RegisterModelessPalette, &refusal);
        if (host == nullptr) return refusal;
        if (registration == nullptr || registration->callback == nullptr) {
            host->transcript->Error("registerModelessPalette: no registration record or no callback");
            return APIERR_GENERAL;
        }
        std::erase_if(host->state.palettes,
                      [&](const API_PaletteRegistration& p) { return p.paletteGuid == registration->paletteGuid; });
        host->state.palettes.push_back(*registration);
        host->transcript->Write(Line{
            {"paletteRegistered", Line{{"referenceID", registration->referenceID},
                                       {"enableFlags", registration->enableFlags},
                                       {"guid", ToUtf8(APIGuid2GSGuid(registration->paletteGuid).ToUniString())}}}});
        return NoError;
    }

    static GSErrCode CatchSelectionChange(void* token, APISelectionChangeHandlerProc* handler) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::CatchSelectionChange, &refusal);
        if (host == nullptr) return refusal;
        host->state.selectionHandler = handler;
        return NoError;
    }

    static GSErrCode CatchProjectEvent(void* token, GSFlags eventMask, APIProjectEventHandlerProc* handler) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::CatchProjectEvent, &refusal);
        if (host == nullptr) return refusal;
        const bool unsubscribe = handler == nullptr || eventMask == 0;
        host->state.projectEventHandler = unsubscribe ? nullptr : handler;
        host->state.projectEventMask = unsubscribe ? 0 : eventMask;
        host->transcript->Write(Line{{"projectEvents", ProjectEventNames(host->state.projectEventMask)},
                                     {"mask", host->state.projectEventMask}});
        return NoError;
    }

    static GSErrCode GetMenuItemFlags(void* token, const API_MenuItemRef* item, GSFlags* itemFlags) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::GetMenuItemFlags, &refusal);
        if (host == nullptr) return refusal;
        if (item == nullptr || itemFlags == nullptr) return APIERR_GENERAL;
        const MenuItemState* state = host->FindMenuItem(item->menuResID, item->itemIndex);
        if (state == nullptr) return APIERR_GENERAL;
        *itemFlags = state->flags;
        return NoError;
    }

    static GSErrCode SetMenuItemFlags(void* token, const API_MenuItemRef* item, GSFlags itemFlags) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::SetMenuItemFlags, &refusal);
        if (host == nullptr) return refusal;
        if (item == nullptr) return APIERR_GENERAL;
        MenuItemState* state = host->FindMenuItem(item->menuResID, item->itemIndex);
        if (state == nullptr) return APIERR_GENERAL;
        const bool wasChecked = (state->flags & API_MenuItemChecked) != 0;
        const bool checked = (itemFlags & API_MenuItemChecked) != 0;
        state->flags = itemFlags;
        if (checked != wasChecked) host->transcript->Write(Line{{"menu", state->text}, {"checked", checked}});
        return NoError;
    }

    static GSErrCode GetApplicationInfo(void* token, API_ServerApplicationInfo* info) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::GetApplicationInfo, &refusal);
        if (host == nullptr) return refusal;
        if (info == nullptr) return APIERR_GENERAL;
        info->language = ToUniString(host->state.language);
        return NoError;
    }

    static GSErrCode GetProjectInfo(void* token, API_ProjectInfo* info) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::GetProjectInfo, &refusal);
        if (host == nullptr) return refusal;
        if (info == nullptr) return APIERR_GENERAL;
        const std::optional<std::string>& name = host->state.project.name;
        info->untitled = !name.has_value();
        info->projectName = name ? ToUniString(*name) : GS::UniString();
        return NoError;
    }

    static GSErrCode GetSpecialFolder(void* token, API_SpecFolderID folder, IO::Location* location) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::GetSpecialFolder, &refusal);
        if (host == nullptr) return refusal;
        if (location == nullptr) return APIERR_GENERAL;
        switch (folder) {
        case API_UserDataFolderID:
            *location = host->state.userDataFolder;
            return NoError;
        case API_ExchangeFolderID:
            *location = host->state.exchangeFolder;
            return NoError;
        default:
            host->transcript->Error("getSpecialFolder: folder " + std::to_string(folder) + " is not simulated");
            return APIERR_GENERAL;
        }
    }

    static GSErrCode GetElementList(void* token, API_ElemTypeID typeID, const API_Guid* classification,
                                    GSFlags filterFlags, const API_Guid* /*renovationFilter*/,
                                    GS::Array<API_Guid>* elements) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::GetElementList, &refusal);
        if (host == nullptr) return refusal;
        if (elements == nullptr) return APIERR_GENERAL;
        elements->Clear();
        // The simulated elements carry no classification, so a classification filter leaves none.
        if (classification != nullptr && !(*classification == APINULLGuid)) return NoError;
        // Of the filter flags only "shown in 3D" selects anything here.
        const bool only3D = (filterFlags & APIFilt_In3D) != 0;
        for (const ProjectElement& element : host->state.project.elements)
            if ((typeID == API_AnyElemTypeID || element.typeID == typeID) && (!only3D || element.shownIn3D))
                elements->Push(element.guid);
        return NoError;
    }

    static GSErrCode GetElementHeader(void* token, API_Elem_Head* head) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::GetElementHeader, &refusal);
        if (host == nullptr) return refusal;
        if (head == nullptr) return APIERR_GENERAL;
        const ProjectElement* element = host->state.project.FindElement(head->guid);
        if (element == nullptr) return APIERR_GENERAL;
        head->typeID = element->typeID;
        return NoError;
    }

    static GSErrCode GetElement3DBounds(void* token, const API_Elem_Head* head, API_Box3D* bounds) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::GetElement3DBounds, &refusal);
        if (host == nullptr) return refusal;
        if (head == nullptr || bounds == nullptr) return APIERR_GENERAL;
        const ProjectElement* element = host->state.project.FindElement(head->guid);
        if (element == nullptr || !element->bounds) return APIERR_GENERAL;
        *bounds = *element->bounds;
        return NoError;
    }

    static GSErrCode GetOwnToken(void* token, void* registrationValue, API_Guid* ownToken) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::GetOwnToken, &refusal);
        if (host == nullptr) return refusal;
        if (ownToken == nullptr || registrationValue != host->GetRegistrationValue()) return APIERR_GENERAL;
        *ownToken = host->state.ownToken;
        return NoError;
    }

    static GSErrCode GetSelection(void* token, API_SelectionInfo* info, GS::Array<API_Neig>* selection,
                                  bool onlyEditable, bool ignorePartial, Int32 /*relativeToLayer*/) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::GetSelection, &refusal);
        if (host == nullptr) return refusal;
        if (info == nullptr) {
            host->transcript->Error("getSelection: no selection information record");
            return APIERR_GENERAL;
        }
        const HostState& state = host->state;
        // A marquee holds back the selected elements it does not reach (and, asked to, those it reaches only in
        // part); onlyEditable leaves the locked ones out of the list but not out of the count.
        std::vector<API_Guid> listed;
        Int32 reported = 0;
        Int32 editable = 0;
        for (const API_Guid& guid : state.selection) {
            const ProjectElement* element = state.project.FindElement(guid);
            if (element == nullptr) continue;
            if (state.marquee) {
                const MarqueeCover cover = Cover(state.marqueeArea, element->bounds);
                if (cover == MarqueeCover::None || (ignorePartial && cover == MarqueeCover::Partly)) continue;
            }
            ++reported;
            if (!element->locked) ++editable;
            if (!onlyEditable || !element->locked) listed.push_back(guid);
        }
        API_SelectionInfo filled;
        filled.typeID = state.marquee ? 2 : (state.selection.empty() ? 0 : 1);
        filled.sel_nElem = reported;
        filled.sel_nElemEdit = editable;
        if (state.marquee) {
            const std::array<API_Coord, 5> polygon = MarqueePolygon(state.marqueeArea);
            GSHandle coords = host->GiveHandle(sizeof polygon);
            if (coords == nullptr) return ErrMemoryFull;
            std::memcpy(*coords, polygon.data(), sizeof polygon);
            filled.marquee.coords = coords;
            filled.marquee.nCoords = static_cast<Int32>(polygon.size());
        }
        if (selection != nullptr) {
            selection->Clear();
            selection->SetCapacity(static_cast<USize>(listed.size()));
            for (const API_Guid& guid : listed) {
                API_Neig neig;
                neig.guid = guid;
                selection->Push(neig);
            }
        }
        *info = filled;
        return NoError;
    }

    static GSErrCode DeselectAll(void* token) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::DeselectAll, &refusal);
        if (host == nullptr) return refusal;
        if (!host->state.selection.empty()) {
            host->state.selection.clear();
            host->SelectionChanged();
        }
        return NoError;
    }

    static GSErrCode SelectElements(void* token, const GS::Array<API_Neig>* elements, bool add) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::SelectElements, &refusal);
        if (host == nullptr) return refusal;
        if (elements == nullptr) {
            host->transcript->Error("selectElements: no list of elements");
            return APIERR_GENERAL;
        }
        // Marks by element index keep long lists linear: the add-on hands over thousands of elements at once.
        std::vector<API_Guid>& selection = host->state.selection;
        const ProjectDescription& project = host->state.project;
        std::vector<bool> selected(project.elements.size());
        for (const API_Guid& guid : selection)
            if (const std::optional<std::size_t> index = project.FindElementIndex(guid)) selected[*index] = true;
        const std::size_t before = selection.size();
        std::vector<bool> removed;
        for (const API_Neig& neig : *elements) {
            const std::optional<std::size_t> index = project.FindElementIndex(neig.guid);
            if (!index) continue;
            if (add) {
                if (!selected[*index]) {
                    selected[*index] = true;
                    selection.push_back(neig.guid);
                }
            } else if (selected[*index]) {
                selected[*index] = false;
                if (removed.empty()) removed.resize(project.elements.size());
                removed[*index] = true;
            }
        }
        if (!removed.empty()) {
            std::erase_if(selection, [&project, &removed](const API_Guid& guid) {
                const std::optional<std::size_t> index = project.FindElementIndex(guid);
                return index && removed[*index];
            });
        }
        if (selection.size() != before) host->SelectionChanged();
        return NoError;
    }

    static GSErrCode NewParameterList(void* token, API_MDCLParameterList* list) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::NewParameterList, &refusal);
        if (host == nullptr) return refusal;
        const GSErrCode result = host->parameterLists.New(list);
        if (result == NoError) ++host->state.handlesGiven; // a list is a handle the add-on must give back
        return result;
    }

    static GSErrCode AddParameter(void* token, API_MDCLParameterList list, const API_MDCLParameter* parameter) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::AddParameter, &refusal);
        if (host == nullptr) return refusal;
        return parameter == nullptr ? APIERR_BADPARS : host->parameterLists.Add(list, *parameter);
    }

    static GSErrCode GetParameter(void* token, API_MDCLParameterList list, API_MDCLParameter* parameter) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::GetParameter, &refusal);
        if (host == nullptr) return refusal;
        return parameter == nullptr ? APIERR_BADPARS : host->parameterLists.Get(list, *parameter);
    }

    static GSErrCode ChangeParameter(void* token, API_MDCLParameterList list, const API_MDCLParameter* parameter) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::ChangeParameter, &refusal);
        if (host == nullptr) return refusal;
        return parameter == nullptr ? APIERR_BADPARS : host->parameterLists.Change(list, *parameter);
    }

    static GSErrCode FreeParameterList(void* token, API_MDCLParameterList* list) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::FreeParameterList, &refusal);
        if (host == nullptr) return refusal;
        const GSErrCode result = host->parameterLists.Free(list);
        if (result != NoError) host->transcript->Error("freeParameterList: not a live parameter list");
        return result;
    }

    static GSErrCode CallAddOnCommand(void* token, const API_ModulID* module, UInt32 code, Int32 version,
                                      API_MDCLParameterList params, void* resultData, bool silent) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::CallAddOnCommand, &refusal);
        if (host == nullptr) return refusal;
        if (module == nullptr) return APIERR_BADPARS;
        const bool ifc = module->developerID == IfcAddOnDeveloperID && module->localID == IfcAddOnLocalID;
        const bool dwg = module->developerID == DwgTranslatorDeveloperID && module->localID == DwgTranslatorLocalID &&
                         host->state.dwgTranslatorInstalled;
        if (!ifc && !dwg) {
            host->transcript->Write(Line{{"addOnCommand", ToUtf8(API_FourCharCodeToText(code))},
                                         {"module", Line{module->developerID, module->localID}},
                                         {"installed", false}});
            return APIERR_MODULNOTINSTALLED;
        }
        const std::string codeText = ToUtf8(API_FourCharCodeToText(code));
        if (host->state.failing.contains(codeText)) {
            host->transcript->Write(Line{{"failed", codeText}});
            return APIERR_GENERAL;
        }
        if (dwg) return host->dwgTranslator.Call(code, version, params, resultData, silent);
        return host->ifcAddOn.Call(code, version, params, resultData, silent);
    }

    static GSErrCode GetPropertyGroups(void* token, GS::Array<API_PropertyGroup>* groups) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::GetPropertyGroups, &refusal);
        if (host == nullptr) return refusal;
        if (groups == nullptr) return APIERR_BADPARS;
        groups->Clear();
        for (const ProjectPropertyGroup& group : host->state.project.propertyGroups) {
            API_PropertyGroup filled;
            filled.guid = group.guid;
            filled.groupType = group.type;
            filled.name = ToUniString(group.name);
            groups->Push(filled);
        }
        return NoError;
    }

    static GSErrCode GetPropertyDefinitions(void* token, const API_Guid* groupGuid,
                                            GS::Array<API_PropertyDefinition>* definitions) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::GetPropertyDefinitions, &refusal);
        if (host == nullptr) return refusal;
        if (groupGuid == nullptr || definitions == nullptr) return APIERR_BADPARS;
        for (const ProjectPropertyGroup& group : host->state.project.propertyGroups) {
            if (!(group.guid == *groupGuid)) continue;
            definitions->Clear();
            for (const ProjectPropertyDefinition& definition : group.definitions) {
                API_PropertyDefinition filled;
                filled.guid = definition.guid;
                filled.groupGuid = group.guid;
                filled.name = ToUniString(definition.name);
                definitions->Push(filled);
            }
            return NoError;
        }
        return APIERR_BADPARS;
    }

    static GSErrCode GetIFCExportTranslators(void* token, GS::Array<API_IFCTranslatorIdentifier>* translators) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::GetIFCExportTranslators, &refusal);
        if (host == nullptr) return refusal;
        if (translators == nullptr) return APIERR_BADPARS;
        GS::Array<API_IFCTranslatorIdentifier> filled;
        const std::vector<std::string>& names = host->state.project.ifcTranslators;
        for (std::size_t i = 0; i < names.size(); ++i) {
            // A translator's handle holds its 1-based number; the save operation reads it back.
            API_IFCTranslatorIdentifier translator;
            translator.innerReference = host->GiveHandle(sizeof(UInt32));
            if (translator.innerReference == nullptr) return ErrMemoryFull;
            const auto number = static_cast<UInt32>(i + 1);
            std::memcpy(*translator.innerReference, &number, sizeof number);
            translator.name = ToUniString(names[i]);
            filled.Push(translator);
        }
        *translators = std::move(filled);
        return NoError;
    }

    static GSErrCode CopyHandle(void* token, GSConstHandle source, GSHandle* copy) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::CopyHandle, &refusal);
        if (host == nullptr) return refusal;
        if (source == nullptr || copy == nullptr) return APIERR_BADPARS;
        const GSSize size = BMGetHandleSize(source);
        GSHandle made = host->GiveHandle(static_cast<std::size_t>(size));
        if (made == nullptr) return ErrMemoryFull;
        if (size > 0) std::memcpy(*made, *source, static_cast<std::size_t>(size));
        *copy = made;
        return NoError;
    }

    static GSErrCode SaveProject(void* token, const API_FileSavePars* params, const void* typeParams,
                                 const void* reserved) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::SaveProject, &refusal);
        if (host == nullptr) return refusal;
        if (params == nullptr || params->file == nullptr || reserved != nullptr) {
            host->transcript->Error("saveProject: no save parameters or no target file");
            return APIERR_BADPARS;
        }
        if (params->fileTypeID == APIFType_PNGFile)
            return host->SavePicture(*params->file, static_cast<const API_SavePars_Picture*>(typeParams));
        if (params->fileTypeID == APIFType_JPGFile)
            return host->SavePlanPicture(*params->file, APIFType_JPGFile,
                                         static_cast<const API_SavePars_Picture*>(typeParams));
        if (params->fileTypeID == APIFType_PdfFile)
            return host->SavePlanPdf(*params->file, static_cast<const API_SavePars_Pdf*>(typeParams));
        if (params->fileTypeID != APIFType_IfcFile) return APIERR_NOTSUPPORTED;
        return host->SaveIfc(*params->file, static_cast<const API_SavePars_Ifc*>(typeParams));
    }

    static GSErrCode ElementFilter(void* token, const API_Guid* guid, GSFlags filterFlags, bool* passes) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::ElementFilter, &refusal);
        if (host == nullptr) return refusal;
        if (guid == nullptr || passes == nullptr) {
            host->transcript->Error("elementFilter: no element GUID or no answer to fill");
            return APIERR_BADPARS;
        }
        const ProjectElement* element = host->state.project.FindElement(*guid);
        if (element == nullptr) return APIERR_GENERAL;
        // Of the filter flags only "shown in 3D" can exclude anything here.
        *passes = (filterFlags & APIFilt_In3D) == 0 || element->shownIn3D;
        return NoError;
    }

    static GSErrCode OpenProject(void* token, const API_FileOpenPars* params) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::OpenProject, &refusal);
        if (host == nullptr) return refusal;
        if (params == nullptr || params->file == nullptr) {
            host->transcript->Error("openProject: no open parameters or no file");
            return APIERR_GENERAL;
        }
        // The step's undo would have to bring the old project back.
        if (host->state.undoStep) {
            host->transcript->Error("openProject: a project cannot be opened inside an undoable command");
            return APIERR_GENERAL;
        }
        const std::filesystem::path file = params->file->ToFileSystemPath();
        if (params->fileTypeID != APIFType_IfcFile) {
            host->transcript->Write(Line{
                {"opened", Line{{"file", file.string()},
                                {"error", "file type " + std::to_string(params->fileTypeID) + " cannot be opened"}}}});
            return APIERR_GENERAL;
        }
        return host->OpenIfc(file);
    }

    static GSErrCode GetElement(void* token, API_Element* record) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::GetElement, &refusal);
        if (host == nullptr) return refusal;
        if (record == nullptr) {
            host->transcript->Error("getElement: no element record to fill");
            return APIERR_GENERAL;
        }
        const ProjectElement* element = host->state.project.FindElement(record->header.guid);
        if (element == nullptr) return APIERR_GENERAL;
        record->header.typeID = element->typeID;
        record->elementID = ToUniString(element->elementId);
        record->ifcType = ToUniString(element->ifcType);
        record->externalGlobalId = ToUniString(element->externalGlobalId.value_or(std::string()));
        record->hasBounds = element->bounds.has_value();
        record->bounds = element->bounds.value_or(API_Box3D{});
        return NoError;
    }

    static GSErrCode CreateElement(void* token, API_Element* record) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::CreateElement, &refusal);
        if (host == nullptr) return refusal;
        if (record == nullptr) {
            host->transcript->Error("createElement: no element record");
            return APIERR_GENERAL;
        }
        if (!host->state.undoStep) {
            host->transcript->Error("createElement is only allowed inside an undoable command");
            return APIERR_GENERAL;
        }
        const API_Box3D& box = record->bounds;
        if (record->header.typeID <= API_AnyElemTypeID ||
            (record->hasBounds && (box.xMin > box.xMax || box.yMin > box.yMax || box.zMin > box.zMax)))
            return APIERR_BADPARS;
        ProjectDescription& project = host->state.project;
        ProjectElement element;
        // New GUIDs follow a count, so a run makes the same ones every time; one already taken is passed over.
        do {
            const UInt32 n = ++host->state.createdElements;
            element.guid = GuidFromBits(UInt64{0x4E455745} << 32, UInt64{n}); // {4E455745-0000-4000-8000-0000nnnnnnnn}
        } while (project.FindElement(element.guid) != nullptr);
        element.guidText = ToUtf8(APIGuid2GSGuid(element.guid).ToUniString());
        element.elementId = ToUtf8(record->elementID);
        element.globalId = MakeIfcGlobalId(element.guid);
        if (!record->externalGlobalId.IsEmpty()) element.externalGlobalId = ToUtf8(record->externalGlobalId);
        element.typeID = record->header.typeID;
        element.ifcType = ToUtf8(record->ifcType);
        if (record->hasBounds) element.bounds = box;
        const API_Guid made = element.guid;
        project.AppendElement(std::move(element));
        record->header.guid = made;
        return NoError;
    }

    static GSErrCode UndoableCommand(void* token, const GS::UniString* undoName, GSErrCode (*command)(void*),
                                     void* context) {
        GSErrCode refusal = NoError;
        HostServices* host = Enter(token, API_HostSlot::UndoableCommand, &refusal);
        if (host == nullptr) return refusal;
        if (undoName == nullptr || command == nullptr) {
            host->transcript->Error("undoableCommand: no undo name or no command");
            return APIERR_GENERAL;
        }
        if (host->state.undoStep) {
            host->transcript->Error("undoableCommand: \"" + ToUtf8(*undoName) + "\" was called inside the command \"" +
                                    *host->state.undoStep + "\"");
            return APIERR_GENERAL;
        }
        const std::string name = ToUtf8(*undoName);
        HostState& state = host->state;
        const std::size_t before = state.project.elements.size();
        state.undoStep = name;
        const GSErrCode result = command(context);
        state.undoStep.reset();
        Line step{{"undoStep", name}};
        if (result != NoError) {
            // A failed command leaves nothing behind: what it made goes, as the host rolls the step back.
            if (state.project.elements.size() > before) {
                state.project.elements.resize(before);
                state.project.Reindex();
            }
            step["result"] = ResultCode(result);
        }
        step["elements"] = state.project.elements.size();
        host->transcript->Write(std::move(step));
        return result;
    }
};

HostServices::HostServices(std::shared_ptr<Transcript> transcriptPtr, std::shared_ptr<MainThread> mainThreadPtr)
    : transcript(std::move(transcriptPtr)), mainThread(std::move(mainThreadPtr)),
      ifcModel(std::make_unique<IfcHostModel>(*this)), ifcAddOn(transcript, parameterLists),
      dwgTranslator(transcript, parameterLists, state), self(std::make_shared<HostServices*>(this)) {
    RegisterHostCommands();
    Register3DCommands();
    RegisterPublisherCommands();
}

HostServices::~HostServices() {
    Deactivate();
}

bool HostServices::Activate() {
    const std::lock_guard lock(activeMutex);
    if (active == this) return true;
    if (active != nullptr) return false;
    active = this;
    activeOnMainThread.store(this, std::memory_order_relaxed);
    activeMainThread.store(mainThread->GetId(), std::memory_order_release);
    handleBaseline = GS::MemoryManager::GetLiveHandleCount();
    state.handlesGiven = 0;
    IFCAPI::SetHostModel(ifcModel.get());
    return true;
}

void HostServices::Deactivate() {
    const std::lock_guard lock(activeMutex);
    if (active != this) return;
    active = nullptr;
    activeMainThread.store(std::thread::id(), std::memory_order_release);
    activeOnMainThread.store(nullptr, std::memory_order_relaxed);
    IFCAPI::SetHostModel(nullptr);
}

bool HostServices::AdmitQuery(std::string_view query) {
    GSErrCode refusal = NoError;
    return Operations::Enter(GetHostToken(), query, query, &refusal) == this;
}

API_HostFunctionTable HostServices::MakeTable(const std::set<API_HostSlot>& withheld) {
    API_HostFunctionTable table{};
    table.tableSize = static_cast<UInt32>(API_HostFunctionTableSize);
    table.apiVersion = API_HostVersion;
    const auto offer = [&withheld](API_HostSlot slot, auto*& field, auto* function) {
        field = withheld.contains(slot) ? nullptr : function;
    };
    offer(API_HostSlot::Command, table.command, &Operations::Command);
    offer(API_HostSlot::KeepInMemory, table.keepInMemory, &Operations::KeepInMemory);
    offer(API_HostSlot::InstallMenuHandler, table.installMenuHandler, &Operations::InstallMenuHandler);
    offer(API_HostSlot::RegisterMenu, table.registerMenu, &Operations::RegisterMenu);
    offer(API_HostSlot::RegisterModelessPalette, table.registerModelessPalette, &Operations::RegisterModelessPalette);
    offer(API_HostSlot::CatchSelectionChange, table.catchSelectionChange, &Operations::CatchSelectionChange);
    offer(API_HostSlot::CatchProjectEvent, table.catchProjectEvent, &Operations::CatchProjectEvent);
    offer(API_HostSlot::GetMenuItemFlags, table.getMenuItemFlags, &Operations::GetMenuItemFlags);
    offer(API_HostSlot::SetMenuItemFlags, table.setMenuItemFlags, &Operations::SetMenuItemFlags);
    offer(API_HostSlot::GetApplicationInfo, table.getApplicationInfo, &Operations::GetApplicationInfo);
    offer(API_HostSlot::GetProjectInfo, table.getProjectInfo, &Operations::GetProjectInfo);
    offer(API_HostSlot::GetSpecialFolder, table.getSpecialFolder, &Operations::GetSpecialFolder);
    offer(API_HostSlot::GetElementList, table.getElementList, &Operations::GetElementList);
    offer(API_HostSlot::GetElementHeader, table.getElementHeader, &Operations::GetElementHeader);
    offer(API_HostSlot::GetElement3DBounds, table.getElement3DBounds, &Operations::GetElement3DBounds);
    offer(API_HostSlot::GetOwnToken, table.getOwnToken, &Operations::GetOwnToken);
    offer(API_HostSlot::GetSelection, table.getSelection, &Operations::GetSelection);
    offer(API_HostSlot::DeselectAll, table.deselectAll, &Operations::DeselectAll);
    offer(API_HostSlot::SelectElements, table.selectElements, &Operations::SelectElements);
    offer(API_HostSlot::NewParameterList, table.newParameterList, &Operations::NewParameterList);
    offer(API_HostSlot::AddParameter, table.addParameter, &Operations::AddParameter);
    offer(API_HostSlot::GetParameter, table.getParameter, &Operations::GetParameter);
    offer(API_HostSlot::ChangeParameter, table.changeParameter, &Operations::ChangeParameter);
    offer(API_HostSlot::FreeParameterList, table.freeParameterList, &Operations::FreeParameterList);
    offer(API_HostSlot::CallAddOnCommand, table.callAddOnCommand, &Operations::CallAddOnCommand);
    offer(API_HostSlot::GetPropertyGroups, table.getPropertyGroups, &Operations::GetPropertyGroups);
    offer(API_HostSlot::GetPropertyDefinitions, table.getPropertyDefinitions, &Operations::GetPropertyDefinitions);
    offer(API_HostSlot::GetIFCExportTranslators, table.getIFCExportTranslators, &Operations::GetIFCExportTranslators);
    offer(API_HostSlot::CopyHandle, table.copyHandle, &Operations::CopyHandle);
    offer(API_HostSlot::SaveProject, table.saveProject, &Operations::SaveProject);
    offer(API_HostSlot::ElementFilter, table.elementFilter, &Operations::ElementFilter);
    offer(API_HostSlot::OpenProject, table.openProject, &Operations::OpenProject);
    offer(API_HostSlot::GetElement, table.getElement, &Operations::GetElement);
    offer(API_HostSlot::CreateElement, table.createElement, &Operations::CreateElement);
    offer(API_HostSlot::UndoableCommand, table.undoableCommand, &Operations::UndoableCommand);
    return table;
}

void HostServices::RegisterCommand(UInt32 code, CommandHandler handler) {
    if (handler) {
        commands[code] = std::move(handler);
    } else {
        commands.erase(code);
    }
}

MenuItemState* HostServices::FindMenuItem(Int32 menuResID, Int32 itemIndex) {
    for (RegisteredMenu& menu : state.menus) {
        if (menu.menuResID != menuResID) continue;
        if (itemIndex < 1 || static_cast<std::size_t>(itemIndex) > menu.items.size()) return nullptr;
        return &menu.items[static_cast<std::size_t>(itemIndex - 1)];
    }
    return nullptr;
}

void HostServices::RegisterHostCommands() {
    // Arguments as APIDefinitions.hpp gives them for each code. Unknown elements are no misuse: they only fail.
    RegisterCommand(APICmd_ElementInfoString, [this](void* arg1, void* arg2, void*, void*) {
        const auto* guid = static_cast<const API_Guid*>(arg1);
        auto* text = static_cast<GS::UniString*>(arg2);
        if (guid == nullptr || text == nullptr) {
            transcript->Error("GEIS: no element GUID or no text to fill");
            return APIERR_GENERAL;
        }
        const ProjectElement* element = state.project.FindElement(*guid);
        if (element == nullptr) return APIERR_GENERAL;
        *text = ToUniString(element->elementId);
        return NoError;
    });
    RegisterCommand(APICmd_Get3DCuttingPlanes, [this](void* arg1, void*, void*, void*) {
        auto* info = static_cast<API_3DCutPlanesInfo*>(arg1);
        if (info == nullptr) {
            transcript->Error("GC3D: no cutting-plane record to fill");
            return APIERR_GENERAL;
        }
        API_3DCutPlanesInfo filled;
        filled.isCutPlanes = state.cutPlanesOn;
        filled.nShapes = static_cast<UInt16>(state.cutShapes.size());
        if (!state.cutShapes.empty()) {
            const std::size_t size = state.cutShapes.size() * sizeof(API_3DCutShapeType);
            filled.shapes = GiveHandle(size);
            if (filled.shapes == nullptr) return ErrMemoryFull;
            std::memcpy(*filled.shapes, state.cutShapes.data(), size);
        }
        *info = filled;
        return NoError;
    });
    RegisterCommand(APICmd_Change3DCuttingPlanes, [this](void* arg1, void*, void*, void*) {
        const auto* info = static_cast<const API_3DCutPlanesInfo*>(arg1);
        if (info == nullptr) {
            transcript->Error("CC3D: no cutting-plane record");
            return APIERR_GENERAL;
        }
        const std::size_t size = std::size_t{info->nShapes} * sizeof(API_3DCutShapeType);
        if (info->nShapes > 0 &&
            (info->shapes == nullptr || static_cast<std::size_t>(BMGetHandleSize(info->shapes)) < size)) {
            transcript->Error("CC3D: the shapes handle holds fewer than " + std::to_string(info->nShapes) + " shapes");
            return APIERR_GENERAL;
        }
        std::vector<API_3DCutShapeType> shapes(info->nShapes);
        if (size > 0) std::memcpy(shapes.data(), *info->shapes, size);
        SetCuttingPlanes(info->isCutPlanes, std::move(shapes));
        return NoError;
    });
    RegisterCommand(APICmd_ChangeWindow, [this](void* arg1, void*, void*, void*) {
        const auto* window = static_cast<const API_WindowInfo*>(arg1);
        if (window == nullptr || window->typeID <= 0) {
            transcript->Error("CHWD: no window record or no window type");
            return APIERR_GENERAL;
        }
        SetActiveWindow(window->typeID);
        return NoError;
    });
    RegisterCommand(APICmd_ZoomToElements, [this](void* arg1, void*, void*, void*) {
        const auto* elements = static_cast<const GS::Array<API_Guid>*>(arg1);
        if (elements == nullptr) {
            transcript->Error("ZTEL: no list of elements");
            return APIERR_GENERAL;
        }
        if (elements->IsEmpty()) return APIERR_GENERAL;
        std::vector<API_Guid> target(elements->begin(), elements->end());
        for (const API_Guid& guid : target)
            if (state.project.FindElement(guid) == nullptr) return APIERR_GENERAL;
        transcript->Write(Line{{"zoom", GlobalIdsOf(target)}});
        state.zoomTarget = std::move(target);
        return NoError;
    });
}

void HostServices::SelectFromHost(const std::vector<API_Guid>& elements) {
    std::vector<API_Guid> selection;
    GuidSet seen;
    for (const API_Guid& guid : elements)
        if (state.project.FindElement(guid) != nullptr && seen.insert(guid).second) selection.push_back(guid);
    state.selection = std::move(selection);
    SelectionChanged();
}

void HostServices::SetCuttingPlanes(bool on, std::vector<API_3DCutShapeType> shapes) {
    if (on == state.cutPlanesOn && SameShapes(shapes, state.cutShapes)) return;
    state.cutPlanesOn = on;
    state.cutShapes = std::move(shapes);
    Line planes = Line::array();
    for (const API_3DCutShapeType& shape : state.cutShapes)
        planes.push_back(Line{shape.pa, shape.pb, shape.pc, shape.pd});
    transcript->Write(Line{{"cuttingPlanes", Line{{"on", on}, {"planes", std::move(planes)}}}});
}

void HostServices::SetActiveWindow(API_WindowTypeID window) {
    if (window == state.activeWindow) return;
    state.activeWindow = window;
    transcript->Write(Line{{"window", window}});
}

void HostServices::SelectionChanged() {
    if (selectionNotificationPending) return;
    selectionNotificationPending = true;
    mainThread->Post([weak = std::weak_ptr<HostServices*>(self)] {
        if (const auto services = weak.lock()) (*services)->NotifySelectionChange();
    });
}

void HostServices::NotifySelectionChange() {
    selectionNotificationPending = false;
    transcript->Write(Line{{"selection", GlobalIdsOf(state.selection)}});
    // The handler is the add-on's code: only while the add-on holds its token.
    if (tokenPhase != TokenPhase::Issued || state.selectionHandler == nullptr) return;
    API_Neig last;
    if (!state.selection.empty()) last.guid = state.selection.back();
    const GSErrCode result = state.selectionHandler(&last);
    if (result != NoError) transcript->Write(Line{{"handler", "selectionChanged"}, {"result", ResultCode(result)}});
}

Line HostServices::GlobalIdsOf(const std::vector<API_Guid>& elements) const {
    Line globalIds = Line::array();
    globalIds.get_ref<Line::array_t&>().reserve(elements.size());
    for (const API_Guid& guid : elements) {
        const ProjectElement* element = state.project.FindElement(guid);
        globalIds.push_back(element != nullptr ? element->globalId : ToUtf8(APIGuid2GSGuid(guid).ToUniString()));
    }
    return globalIds;
}

GSErrCode HostServices::SaveIfc(const IO::Location& target, const API_SavePars_Ifc* ifc) {
    if (ifc == nullptr || ifc->subType != 0) {
        transcript->Error("saveProject: no IFC save parameters");
        return APIERR_BADPARS;
    }
    const GSHandle translator = ifc->translatorIdentifier.innerReference;
    UInt32 number = 0;
    if (translator == nullptr || BMGetHandleSize(translator) != static_cast<GSSize>(sizeof number)) {
        transcript->Error("saveProject: the translator handle is no translator of this host");
        return APIERR_BADPARS;
    }
    std::memcpy(&number, *translator, sizeof number);
    const std::vector<std::string>& translators = state.project.ifcTranslators;
    if (number == 0 || number > translators.size()) return APIERR_BADPARS;

    std::vector<const ProjectElement*> elements;
    if (ifc->elementsToIfcExport == API_IFCExportEntireProject) {
        for (const ProjectElement& element : state.project.elements)
            elements.push_back(&element);
    } else if (ifc->elementsToIfcExport == API_IFCExportElementList && ifc->elementsSet != nullptr) {
        // An element listed twice is written once, and counted once.
        std::unordered_set<const ProjectElement*> listed;
        for (const API_Guid& guid : *ifc->elementsSet)
            if (const ProjectElement* element = state.project.FindElement(guid);
                element && listed.insert(element).second)
                elements.push_back(element);
    } else {
        transcript->Error("saveProject: element scope " + std::to_string(ifc->elementsToIfcExport) +
                          (ifc->elementsSet == nullptr ? " without an element list" : " is not offered"));
        return APIERR_BADPARS;
    }
    const std::vector<PresetMapping>* mappings = ifcAddOn.FindPreset(MappingPresetType, MappingPresetName);
    const std::filesystem::path file = target.ToFileSystemPath();
    if (!WriteIfcFile(file, state.project, elements, mappings != nullptr ? *mappings : std::vector<PresetMapping>{},
                      translators[number - 1]))
        return APIERR_GENERAL;
    state.savedFiles.push_back(file.string());
    transcript->Write(Line{{"saved", Line{{"file", file.string()},
                                          {"type", APIFType_IfcFile},
                                          {"translator", translators[number - 1]},
                                          {"elements", elements.size()},
                                          {"mappings", mappings != nullptr ? mappings->size() : 0}}}});
    return NoError;
}

GSErrCode HostServices::OpenIfc(const std::filesystem::path& file) {
    std::string error;
    const std::optional<IfcFileContent> content = ReadIfcFile(file, &error);
    if (!content) {
        transcript->Write(Line{{"opened", Line{{"file", file.string()}, {"error", error}}}});
        return APIERR_GENERAL;
    }
    ProjectDescription project;
    project.name = file.stem().string();
    // Property groups and translators are the host's, not the file's.
    project.propertyGroups = state.project.propertyGroups;
    project.ifcTranslators = state.project.ifcTranslators;
    project.elements.reserve(content->elements.size());
    GuidSet taken;
    taken.reserve(content->elements.size());
    for (std::size_t i = 0; i < content->elements.size(); ++i) {
        const IfcFileElement& source = content->elements[i];
        ProjectElement element;
        UInt32 salt = 0;
        do {
            element.guid = ImportedGuid(source.globalId, i, salt++);
        } while (!taken.insert(element.guid).second);
        element.guidText = ToUtf8(APIGuid2GSGuid(element.guid).ToUniString());
        element.elementId = source.name;
        element.globalId = MakeIfcGlobalId(element.guid);
        if (!source.globalId.empty()) element.externalGlobalId = source.globalId;
        element.ifcType = source.entityType;
        if (source.location) element.bounds = BoxAround(*source.location);
        project.elements.push_back(std::move(element));
    }
    project.Reindex();
    state.project = std::move(project);
    state.selection.clear();
    state.zoomTarget.clear();
    transcript->Write(Line{{"opened", Line{{"file", file.string()}, {"elements", state.project.elements.size()}}}});
    return NoError;
}

GSHandle HostServices::GiveHandle(std::size_t size) {
    GSHandle handle = BMAllocateHandle(static_cast<GSSize>(size), ALLOCATE_CLEAR, 0);
    if (handle != nullptr) ++state.handlesGiven;
    return handle;
}

USize HostServices::GetLiveGivenHandles() const noexcept {
    const USize live = GS::MemoryManager::GetLiveHandleCount();
    const USize grown = live > handleBaseline ? live - handleBaseline : 0;
    return std::min(grown, state.handlesGiven);
}

} // namespace HostSim
