#include "ScenarioRunner.hpp"

#include "Thread.hpp"

#include "ChromiumPage.hpp"
#include "ScriptValues.hpp"

#include "DGBrowser.hpp"
#include "GSException.hpp"
#include "Guid.hpp"
#include "Thread.hpp"

#include <poll.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace HostSim {

namespace {

// Why a line cannot be played; becomes its error line.
class LineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr std::array<const char*, 14> LineKinds{"menu",     "palette", "call",    "event",     "wait",
                                                "host",     "answer",  "ui",      "quit",      "service",
                                                "evaluate", "click",   "waitFor", "screenshot"};

// Lines for a page in a real browser (hostsim --browser).
bool IsBrowserLine(const std::string& kind) {
    return kind == "evaluate" || kind == "click" || kind == "waitFor" || kind == "screenshot";
}

// Keys that may stand beside a line's kind.
bool IsCompanion(const std::string& kind, const std::string& key) {
    if (kind == "menu") return key == "item";
    if (kind == "event") return key == "project";
    if (kind == "call") return key == "arg" || key == "object";
    if (kind == "wait" || IsBrowserLine(kind)) return key == "timeout";
    if (kind == "ui") return key == "dx" || key == "dy";
    return false;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

Int32 GetInt32(const Line& value, const std::string& what) {
    if (!value.is_number_integer() || value.get<std::int64_t>() < std::numeric_limits<Int32>::min() ||
        value.get<std::int64_t>() > std::numeric_limits<Int32>::max())
        throw LineError(what + " must be a 32-bit integer");
    return value.get<Int32>();
}

Int32 GetInt32(const Line& line, const char* key, Int32 fallback, const std::string& kind) {
    const auto it = line.find(key);
    return it == line.end() ? fallback : GetInt32(*it, kind + ": " + Quoted(key));
}

std::string GetString(const Line& value, const std::string& what) {
    if (!value.is_string()) throw LineError(what + " must be a string");
    return value.get<std::string>();
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// What the answer of palette message 7 holds until the palette writes a bool there.
constexpr unsigned char UnansweredByte = 0xA5;
static_assert(sizeof(bool) == 1 && UnansweredByte > 1, "a bool is one byte holding 0 or 1");

// Enough for any benchmark; a typo of a few more digits should not take the machine's memory.
constexpr std::uint64_t MaxSyntheticElements = 10'000'000;

// The elements a {"host": {"select": [...]}} names, in order: a GUID text names its element, any other text every
// element that carries it as its host or external GlobalId. A text that names no element spoils the line.
std::vector<API_Guid> ParseSelection(const ProjectDescription& project, const Line& value) {
    if (!value.is_array()) throw LineError("host: \"select\" must be an array of GUIDs or GlobalIds");
    std::vector<API_Guid> elements;
    for (const Line& item : value) {
        const std::string text = GetString(item, "host: an entry of \"select\"");
        GS::Guid guid;
        if (GS::Guid::TryParse(ToUniString(text), guid)) {
            if (project.FindElement(GSGuid2APIGuid(guid)) == nullptr)
                throw LineError("host: \"select\": " + Quoted(text) + " is the GUID of no element");
            elements.push_back(GSGuid2APIGuid(guid));
            continue;
        }
        const std::size_t before = elements.size();
        for (const ObjectNumber object : project.FindObjects(text))
            if (const ProjectElement* element = project.ElementOfObject(object)) elements.push_back(element->guid);
        if (elements.size() == before)
            throw LineError("host: \"select\": " + Quoted(text) + " is the GlobalId of no element");
    }
    return elements;
}

// {"on": bool, "planes": [[a, b, c, d], ...]}; what is left out stays as it is.
void SetCuttingPlanes(HostServices& services, const Line& value) {
    if (!value.is_object()) throw LineError("host: \"cuttingPlanes\" must be an object with \"on\" and \"planes\"");
    const HostState& state = services.GetState();
    bool on = state.cutPlanesOn;
    std::vector<API_3DCutShapeType> shapes = state.cutShapes;
    for (const auto& [key, item] : value.items()) {
        if (key == "on") {
            if (!item.is_boolean()) throw LineError("host: \"cuttingPlanes\": \"on\" must be true or false");
            on = item.get<bool>();
        } else if (key == "planes") {
            if (!item.is_array() || item.size() > UINT16_MAX)
                throw LineError("host: \"cuttingPlanes\": \"planes\" must be an array of at most 65535 planes");
            shapes.clear();
            for (const Line& plane : item) {
                if (!plane.is_array() || plane.size() != 4 ||
                    !std::all_of(plane.begin(), plane.end(), [](const Line& n) { return n.is_number(); }))
                    throw LineError("host: \"cuttingPlanes\": each plane is [a, b, c, d], four numbers");
                API_3DCutShapeType shape;
                shape.pa = plane[0].get<double>();
                shape.pb = plane[1].get<double>();
                shape.pc = plane[2].get<double>();
                shape.pd = plane[3].get<double>();
                shapes.push_back(shape);
            }
        } else {
            throw LineError("host: \"cuttingPlanes\": unknown key " + Quoted(key));
        }
    }
    services.SetCuttingPlanes(on, std::move(shapes));
}

// Elements that went with the old model leave the selection and the zoom target; the name stays.
void ReplaceElements(HostState& state, ProjectDescription model) {
    model.name = state.project.name;
    state.project = std::move(model);
    state.selection.clear();
    state.zoomTarget.clear();
}

// Replaces the whole project, name included, with the description in `file`; what went with the old model (the
// selection, the zoom target) goes. An unreadable file spoils the line and changes nothing.
void OpenProject(HostState& state, const std::filesystem::path& file) {
    try {
        state.project = LoadProjectDescription(file);
    } catch (const std::exception& e) {
        throw LineError(std::string("event: the project cannot be opened: ") + e.what());
    }
    state.selection.clear();
    state.zoomTarget.clear();
}

// {"xMin", "yMin", "xMax", "yMax"}: a rectangle in plan, its minimum below its maximum.
MarqueeArea ParseMarqueeArea(const Line& value) {
    MarqueeArea area;
    std::array<double*, 4> fields{&area.xMin, &area.yMin, &area.xMax, &area.yMax};
    constexpr std::array<const char*, 4> names{"xMin", "yMin", "xMax", "yMax"};
    if (value.size() != names.size())
        throw LineError("host: \"marquee\" must be true, false or {\"xMin\", \"yMin\", \"xMax\", \"yMax\"}");
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto it = value.find(names[i]);
        if (it == value.end() || !it->is_number() || !std::isfinite(it->get<double>()))
            throw LineError(std::string("host: \"marquee\": \"") + names[i] + "\" must be a number");
        *fields[i] = it->get<double>();
    }
    if (area.xMin >= area.xMax || area.yMin >= area.yMax)
        throw LineError("host: \"marquee\": each minimum must lie below its maximum");
    return area;
}

// A line's "timeout" in seconds, or `fallback` seconds without one.
std::chrono::milliseconds GetTimeout(const Line& line, const std::string& kind, double fallback) {
    double seconds = fallback;
    if (const auto it = line.find("timeout"); it != line.end()) {
        if (!it->is_number() || !std::isfinite(it->get<double>()) || it->get<double>() < 0.0)
            throw LineError(kind + ": \"timeout\" must be a number of seconds, not below 0");
        seconds = it->get<double>();
    }
    return std::chrono::milliseconds(static_cast<std::int64_t>(std::ceil(seconds * 1000.0)));
}

// The newest page shown in a real browser.
ChromiumPage& BrowserPage(Host& host, const std::string& kind) {
    const std::vector<HostPage*>& pages = host.GetPages().GetPages();
    for (auto it = pages.rbegin(); it != pages.rend(); ++it)
        if (auto* page = dynamic_cast<ChromiumPage*>(*it)) return *page;
    throw LineError(kind + ": no page in a browser is open (hostsim --browser shows the palette's page in one)");
}

// {"service": behaviour}: the next behaviour of the service stand-in the host was given.
void SteerService(Host& host, const Line& behaviour) {
    if (const std::string error = host.SteerService(behaviour); !error.empty()) throw LineError("service: " + error);
}

bool WaitReadable(int fd, int timeoutMs) {
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, timeoutMs) != 0; // an error counts as ready: the read then reports it
}

} // namespace

ScenarioRunner::ScenarioRunner(Host& runHost) : host(runHost) {}

void ScenarioRunner::Run(std::istream& input, int readyFd) {
    std::string text;
    while (!quit) {
        if (readyFd >= 0) {
            while (input.rdbuf()->in_avail() <= 0 && !WaitReadable(readyFd, 50))
                host.Pump();
        }
        if (!std::getline(input, text)) break;
        RunLine(text);
    }
    if (!quit) {
        host.Quit(true);
        quit = true;
    }
}

bool ScenarioRunner::RunLine(const std::string& text) {
    if (quit) return false;
    host.Pump();
    const std::string trimmed = Trim(text);
    if (trimmed.empty() || trimmed.front() == '#') return true;

    Transcript& transcript = host.GetTranscript();
    const Line line = Line::parse(trimmed, nullptr, false);
    if (line.is_discarded()) {
        transcript.Error("not a JSON line: " + trimmed);
        return true;
    }
    if (!line.is_object()) {
        transcript.Error("a scenario line must be a JSON object: " + trimmed);
        return true;
    }

    std::string kind;
    for (const char* candidate : LineKinds) {
        if (!line.contains(candidate)) continue;
        if (!kind.empty()) {
            transcript.Error("a line has one kind, this one has " + Quoted(kind) + " and " + Quoted(candidate));
            return true;
        }
        kind = candidate;
    }
    for (const auto& [key, value] : line.items()) {
        if (key == kind || (!kind.empty() && IsCompanion(kind, key))) continue;
        transcript.Error("unknown key " + Quoted(key) + (kind.empty() ? "" : " in a " + Quoted(kind) + " line"));
        return true;
    }
    if (kind.empty()) {
        transcript.Error("an empty line object");
        return true;
    }

    try {
        if (kind == "menu")
            Menu(line);
        else if (kind == "palette")
            PaletteMessage(line);
        else if (kind == "call")
            Call(line);
        else if (kind == "event")
            Event(line);
        else if (kind == "wait")
            Wait(line);
        else if (kind == "host")
            HostChange(line);
        else if (kind == "answer")
            Answer(line);
        else if (kind == "ui")
            UserInterface(line);
        else if (kind == "quit")
            Quit(line);
        else if (kind == "service")
            SteerService(host, line["service"]);
        else if (IsBrowserLine(kind))
            Browser(kind, line);
    } catch (const LineError& e) {
        transcript.Error(e.what());
    } catch (const GS::Exception& e) {
        transcript.Error("an exception left the add-on's handler for a " + Quoted(kind) +
                         " line: " + ToUtf8(e.GetMessage()));
    } catch (const std::exception& e) {
        transcript.Error("an exception left the add-on's handler for a " + Quoted(kind) + " line: " + e.what());
    } catch (...) {
        transcript.Error("an exception left the add-on's handler for a " + Quoted(kind) + " line");
    }
    if (!quit) host.Pump();
    return !quit;
}

void ScenarioRunner::Menu(const Line& line) {
    const Int32 menuResID = GetInt32(line["menu"], "menu: the menu resource id");
    const Int32 item = GetInt32(line, "item", 1, "menu");
    // A menu of its own reaches its handler; any other id reaches every installed handler, as a host that shares
    // one handler among its menus would call it, and each must leave commands that are not its own alone.
    const auto& installed = host.GetState().menuHandlers;
    std::vector<APIMenuCommandProc*> handlers;
    if (const auto it = installed.find(menuResID); it != installed.end()) {
        handlers.push_back(it->second);
    } else {
        for (const auto& [id, handler] : installed)
            if (std::find(handlers.begin(), handlers.end(), handler) == handlers.end()) handlers.push_back(handler);
    }
    for (APIMenuCommandProc* handler : handlers) {
        API_MenuParams params;
        params.menuItemRef.menuResID = menuResID;
        params.menuItemRef.itemIndex = item;
        const GSErrCode result = handler(&params);
        if (result != NoError) host.GetTranscript().Write(Line{{"handler", "menu"}, {"result", ResultCode(result)}});
    }
}

void ScenarioRunner::PaletteMessage(const Line& line) {
    const Int32 message = GetInt32(line["palette"], "palette: the message number");
    const auto& palettes = host.GetState().palettes;
    if (palettes.empty()) throw LineError("palette: no palette is registered");
    const API_PaletteRegistration registration = palettes.back();

    // The answer starts as a byte no bool holds, so that a palette that does not answer is seen.
    alignas(bool) unsigned char answer[sizeof(bool)];
    std::memset(answer, UnansweredByte, sizeof answer);
    const std::intptr_t param =
        message == APIPalMsg_IsPaletteVisible ? reinterpret_cast<std::intptr_t>(answer) : std::intptr_t{0};
    const GSErrCode result =
        registration.callback(registration.referenceID, static_cast<API_PaletteMessageID>(message), param);
    Line report{{"paletteMessage", message}};
    if (message == APIPalMsg_IsPaletteVisible)
        report["visible"] = answer[0] == UnansweredByte ? Line("unanswered") : Line(answer[0] != 0);
    if (result != NoError) report["result"] = ResultCode(result);
    host.GetTranscript().Write(std::move(report));
}

void ScenarioRunner::Call(const Line& line) {
    const std::string function = GetString(line["call"], "call: the function name");
    const std::string object = line.contains("object") ? GetString(line["object"], "call: \"object\"") : "";
    const auto arg = line.find("arg");
    if (arg != line.end() && NestingDepth(*arg) > MaxScriptValueDepth)
        throw LineError("call: \"arg\" nests deeper than " + std::to_string(MaxScriptValueDepth) + " levels");
    if (host.GetPages().GetPages().empty())
        throw LineError("call: no page is open, so no function " + Quoted(function) + " can be called");
    HostPage* page = host.GetPages().FindFunction(function, object);
    if (page == nullptr) throw LineError("call: no function " + Quoted(function) + " is registered in the page");
    page->Call(function, arg != line.end() ? &*arg : nullptr, object);
}

void ScenarioRunner::Event(const Line& line) {
    const std::string event = GetString(line["event"], "event: the event name");
    HostState& state = host.GetState();
    const auto project = line.find("project");
    if (project != line.end() && event != "projectOpened")
        throw LineError("event: only \"projectOpened\" takes a \"project\"");
    GSErrCode result = NoError;
    if (event == "selectionChanged") {
        if (state.selectionHandler == nullptr) return;
        const API_Neig selected;
        result = state.selectionHandler(&selected);
    } else {
        const auto kind = std::find_if(ProjectEventKinds.begin(), ProjectEventKinds.end(),
                                       [&event](const ProjectEventKind& k) { return event == k.line; });
        if (kind == ProjectEventKinds.end()) throw LineError("event: unknown event " + Quoted(event));
        // The host opens the project whether or not the add-on listens.
        if (project != line.end()) OpenProject(state, host.ExpandPath(GetString(*project, "event: \"project\"")));
        const GSFlags bit = static_cast<GSFlags>(kind->id);
        if (state.projectEventHandler == nullptr || (state.projectEventMask & bit) == 0) return;
        result = state.projectEventHandler(kind->id, 0);
    }
    if (result != NoError) host.GetTranscript().Write(Line{{"handler", event}, {"result", ResultCode(result)}});
}

void ScenarioRunner::Wait(const Line& line) {
    const std::string script = GetString(line["wait"], "wait: the script");
    Line timeout = 10;
    if (const auto it = line.find("timeout"); it != line.end()) {
        if (!it->is_number() || !std::isfinite(it->get<double>()) || it->get<double>() < 0.0)
            throw LineError("wait: \"timeout\" must be a number of seconds, not below 0");
        timeout = *it;
    }
    const auto limit = std::chrono::milliseconds(static_cast<std::int64_t>(std::ceil(timeout.get<double>() * 1000.0)));
    const ScriptLog& scripts = host.GetScriptLog();
    std::optional<std::size_t> found;
    host.GetMainThread().RunUntil(
        [&] {
            found = scripts.Find(script, waitCursor);
            return found.has_value();
        },
        limit);
    if (!found) throw LineError("wait: " + Quoted(script) + " did not run within " + timeout.dump() + " s");
    waitCursor = *found + 1;
}

void ScenarioRunner::HostChange(const Line& line) {
    const Line& change = line["host"];
    if (!change.is_object()) throw LineError("host: the value must be an object");
    HostState& state = host.GetState();
    for (const auto& [key, value] : change.items()) {
        if (key == "language") {
            state.language = GetString(value, "host: \"language\"");
        } else if (key == "project") {
            if (value.is_null()) {
                state.project.name.reset();
            } else {
                state.project.name = GetString(value, "host: \"project\" (a name or null)");
            }
        } else if (key == "fail") {
            if (!value.is_array()) throw LineError("host: \"fail\" must be an array of operation names");
            FailingOperations failing;
            for (const Line& item : value) {
                const std::string name = GetString(item, "host: an entry of \"fail\"");
                if (!IsFailableOperation(name))
                    throw LineError("host: " + Quoted(name) + " is neither a host operation nor a command code");
                failing.insert(name);
            }
            // Starting a thread is the host library's, not a host operation: played through its switch.
            GS::Thread::SetStartRefusedForTesting(failing.contains(ThreadStartOperation));
            state.failing = std::move(failing);
        } else if (key == "userDataFolder") {
            host.SetUserDataFolder(host.ExpandPath(GetString(value, "host: \"userDataFolder\"")));
        } else if (key == "select") {
            host.GetServices().SelectFromHost(ParseSelection(state.project, value));
        } else if (key == "marquee") {
            if (value.is_object()) {
                state.marqueeArea = ParseMarqueeArea(value);
                state.marquee = true;
            } else if (value.is_boolean()) {
                // true draws the standard square, however the last marquee lay
                state.marqueeArea = MarqueeArea{};
                state.marquee = value.get<bool>();
            } else {
                throw LineError("host: \"marquee\" must be true, false or {\"xMin\", \"yMin\", \"xMax\", \"yMax\"}");
            }
        } else if (key == "cuttingPlanes") {
            SetCuttingPlanes(host.GetServices(), value);
        } else if (key == "window") {
            const Int32 window = GetInt32(value, "host: \"window\" (a window type)");
            if (window <= 0) throw LineError("host: \"window\" must be a positive window type");
            host.GetServices().SetActiveWindow(window);
        } else if (key == "show3D") {
            // "all", or the elements that alone stay shown, named as "select" names them.
            if (value == "all") {
                host.GetServices().ShowAllIn3D();
            } else {
                host.GetServices().ShowIn3D(ParseSelection(state.project, value));
            }
        } else if (key == "projection" || key == "window3D" || key == "survey") {
            // The 3D view's parsers name the fault; the line's error says which setting it was in.
            try {
                HostServices& services = host.GetServices();
                if (key == "projection") {
                    services.SetProjection(ParseProjection(value, state.view3D.projection));
                } else if (key == "window3D") {
                    services.SetWindow3D(ParseWindow(value, state.view3D.window));
                } else {
                    services.SetSurvey(ParseSurvey(value));
                }
            } catch (const std::invalid_argument& e) {
                throw LineError(std::string("host: ") + e.what());
            }
        } else if (key == "dwgTranslator") {
            const std::string presence = GetString(value, "host: \"dwgTranslator\"");
            if (presence != "present" && presence != "missing")
                throw LineError("host: \"dwgTranslator\" must be \"present\" or \"missing\"");
            state.dwgTranslatorInstalled = presence == "present";
        } else if (key == "syntheticElements") {
            if (!value.is_number_unsigned() || value.get<std::uint64_t>() > MaxSyntheticElements)
                throw LineError("host: \"syntheticElements\" must be a count from 0 to " +
                                std::to_string(MaxSyntheticElements));
            ReplaceElements(state, MakeSyntheticProject(value.get<std::size_t>()));
        } else if (key == "publishFaults") {
            try {
                state.publishFaults = ParsePublishFaults(value, state.project.publisherSets);
            } catch (const std::invalid_argument& e) {
                throw LineError(std::string("host: ") + e.what());
            }
        } else {
            throw LineError("host: unknown setting " + Quoted(key));
        }
    }
}

void ScenarioRunner::Answer(const Line& line) {
    const Line& answer = line["answer"];
    if (!answer.is_object()) throw LineError("answer: the value must be an object");
    HostUIBackEnd& ui = host.GetUI();
    for (const auto& [key, value] : answer.items()) {
        if (key == "alert") {
            ui.AddAlertAnswer(GetInt32(value, "answer: \"alert\" (a button number)"));
        } else if (key == "dialog") {
            try {
                ui.AddDialogAnswer(ParseDialogAnswer(value));
            } catch (const std::invalid_argument& e) {
                throw LineError(std::string("answer: ") + e.what());
            }
        } else if (key == "file") {
            if (value.is_null())
                ui.AddFileAnswer(std::nullopt); // the user cancels
            else
                ui.AddFileAnswer(host.ExpandPath(GetString(value, "answer: \"file\" (a path or null)")).string());
        } else {
            throw LineError("answer: unknown answer " + Quoted(key));
        }
    }
}

void ScenarioRunner::UserInterface(const Line& line) {
    const std::string action = GetString(line["ui"], "ui: the action");
    if (action != "close" && action != "resize") throw LineError("ui: unknown action " + Quoted(action));
    DG::Palette* palette = host.GetUI().GetOpenPalette();
    if (palette == nullptr) throw LineError("ui: no palette is open");
    if (action == "close") {
        const bool accepted = palette->RequestClose();
        host.GetTranscript().Write(Line{{"ui", "close"}, {"accepted", accepted}});
        return;
    }
    const Int32 dx = GetInt32(line, "dx", 0, "ui");
    const Int32 dy = GetInt32(line, "dy", 0, "ui");
    palette->Resize(dx, dy);
    Line report{{"ui", "resize"}, {"width", palette->GetWidth()}, {"height", palette->GetHeight()}};
    for (const DG::Item* item : palette->GetItems()) {
        if (dynamic_cast<const DG::BrowserBase*>(item) == nullptr) continue;
        report["browser"] = Line{{"width", item->GetWidth()}, {"height", item->GetHeight()}};
        break;
    }
    host.GetTranscript().Write(std::move(report));
}

void ScenarioRunner::Browser(const std::string& kind, const Line& line) {
    const std::string text = GetString(line[kind], kind + ": the value");
    // Long enough for a page's first load on a slow machine.
    const std::chrono::milliseconds timeout = GetTimeout(line, kind, 30);
    ChromiumPage& page = BrowserPage(host, kind);
    Transcript& transcript = host.GetTranscript();
    if (kind == "evaluate") {
        const ChromiumPage::Evaluation result = page.Evaluate(text, timeout);
        if (result.ok) {
            transcript.Write(Line{{"evaluate", text}, {"result", result.value}});
        } else {
            transcript.Write(Line{{"evaluate", text}, {"error", result.error}});
        }
    } else if (kind == "waitFor") {
        if (const std::string error = page.WaitFor(text, timeout); !error.empty())
            throw LineError("waitFor: " + Quoted(text) + ": " + error);
    } else if (kind == "click") {
        if (const std::string error = page.Click(text, timeout); !error.empty())
            throw LineError("click: " + Quoted(text) + ": " + error);
    } else {
        const std::filesystem::path file = host.ExpandPath(text);
        if (const std::string error = page.Screenshot(file, timeout); !error.empty())
            throw LineError("screenshot: " + error);
        transcript.Write(Line{{"screenshot", file.string()}});
    }
}

void ScenarioRunner::Quit(const Line& line) {
    const Line& options = line["quit"];
    if (!options.is_object()) throw LineError("quit: the value must be an object, e.g. {\"release\": true}");
    bool release = true;
    for (const auto& [key, value] : options.items()) {
        if (key != "release" || !value.is_boolean()) throw LineError("quit: only \"release\": true|false is known");
        release = value.get<bool>();
    }
    quit = true;
    host.Quit(release);
}

} // namespace HostSim
