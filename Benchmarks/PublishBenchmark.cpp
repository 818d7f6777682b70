// Cost of a publishing run's steps, with the add-on module in the simulated host and its script functions called as
// the page calls them:
//   - GetPublishSetItems: the walk of a publisher set's item tree (100 folders of 100 views; 10 and 300 of 100);
//   - PreparePublishDocs: items whose documents already lie in "PreparePublish", so that none is published and the
//     time is the add-on's own (reading the request, the folder's listing, finding each item's file);
//   - HandlePublishSets: 64 documents of 10 MB uploaded in parallel to the service stand-in, until
//     "CompleteExportPublish()" reached the page, beside 64 curl processes making the same uploads at once.
// Each upload round times both clients back to back, alternating which goes first, and reports their ratio.

#include "AddOnSession.hpp"
#include "ChildProcess.hpp"
#include "Host.hpp"
#include "HostPage.hpp"
#include "OwnService.hpp"
#include "ScenarioRunner.hpp"
#include "Server.hpp"

#include "JSValues.hpp"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// The build's service address (host and port of QUILLMAR_API_BASE_URL), which the add-on uploads to.
#ifndef QUILLMAR_SERVICE_PORT
#define QUILLMAR_SERVICE_HOST "127.0.0.1"
#define QUILLMAR_SERVICE_PORT 0
#endif

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

constexpr const char* Token = "benchmark-token";
constexpr const char* UploadFolderId = "benchmark-folder";
constexpr int UploadCount = 64;
constexpr std::size_t UploadBytes = 10'000'000;

// The publisher sets of the generated project: set s has shape.folders folders of shape.views views each.
struct SetShape {
    int folders;
    int views;
};
constexpr SetShape SetShapes[] = {{10, 100}, {100, 100}, {300, 100}};
constexpr int LargeSet = 1;

std::string GuidText(unsigned tag, unsigned n) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-0000-4000-8000-%012X}", tag, n);
    return text;
}
std::string SetGuid(int set) {
    return GuidText(0x5E700000u + static_cast<unsigned>(set), 0);
}
std::string RootGuid(int set) {
    return GuidText(0x5E7F0000u + static_cast<unsigned>(set), 0);
}
std::string FolderGuid(int set, int folder) {
    return GuidText(0xF0000000u + static_cast<unsigned>(set), static_cast<unsigned>(folder));
}
// View n of a set, counted over all its folders.
std::string ViewGuid(int set, int n) {
    return GuidText(0x1E000000u + static_cast<unsigned>(set), static_cast<unsigned>(n));
}

json ProjectDescription() {
    json sets = json::array();
    for (int s = 0; s < static_cast<int>(std::size(SetShapes)); ++s) {
        const SetShape shape = SetShapes[s];
        json folders = json::array();
        for (int f = 0; f < shape.folders; ++f) {
            json views = json::array();
            for (int v = 0; v < shape.views; ++v)
                views.push_back({{"name", "View " + std::to_string(f + 1) + "." + std::to_string(v + 1)},
                                 {"guid", ViewGuid(s, f * shape.views + v)},
                                 {"kind", "view"},
                                 {"format", "pdf"}});
            folders.push_back({{"name", "Folder " + std::to_string(f + 1)},
                               {"guid", FolderGuid(s, f)},
                               {"kind", "folder"},
                               {"children", std::move(views)}});
        }
        sets.push_back({{"name", "Set " + std::to_string(shape.folders) + "x" + std::to_string(shape.views)},
                        {"guid", SetGuid(s)},
                        {"rootGuid", RootGuid(s)},
                        {"items", std::move(folders)}});
    }
    return {{"name", "Publishing benchmark"}, {"publisherSets", std::move(sets)}};
}

struct Session {
    fs::path home;
    std::unique_ptr<HostSim::Host> host;
    std::unique_ptr<HostSim::ScenarioRunner> runner;
    std::unique_ptr<ServiceStandIn::Server> service; // only once the uploads are timed
};

void Play(Session& session, const std::string& line) {
    if (!session.runner->RunLine(line)) throw std::runtime_error("the scenario ended at: " + line);
}

// One host for the whole run (a second cannot start while one has the module loaded), with the generated project
// and the palette open.
Session& GetSession() {
    static Session session;
    if (!session.host) {
        // A folder of this run's own: two benchmark runs never share or remove each other's.
        std::string pattern = (fs::temp_directory_path() / "quillmar-publish-benchmark-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
        session.home = pattern;
        const fs::path project = session.home / "Publishing.json";
        std::ofstream(project) << ProjectDescription().dump();
        HostSim::HostOptions options;
        options.module = QUILLMAR_ADDON_PATH;
        options.home = session.home;
        options.project = project;
        session.host = std::make_unique<HostSim::Host>(options);
        if (!session.host->Start()) throw std::runtime_error("the add-on did not start");
        if (session.host->GetState().project.publisherSets.GetSets().size() != std::size(SetShapes))
            throw std::runtime_error("the host did not read the publisher sets");
        session.runner = std::make_unique<HostSim::ScenarioRunner>(*session.host);
        Play(session, R"({"menu": 32500, "item": 1})");
    }
    return session;
}

GS::Ref<JS::Function> FindFunction(Session& session, const char* name) {
    return FindPageFunction(*session.host, name);
}

GS::Ref<JS::Base> TextArgument(const std::string& text) {
    return GS::NewRef<JS::Value>(GS::UniString(text.c_str(), CC_UTF8));
}

std::string TextResult(const GS::Ref<JS::Base>& result) {
    const GS::Ref<JS::Value> value = GS::DynamicCast<JS::Value>(result);
    if (value == nullptr || value->GetType() != JS::Value::STRING) return std::string();
    return value->GetString().ToCStr(CC_UTF8).Get();
}

std::size_t CountNodes(const json& nodes) {
    std::size_t count = 0;
    for (const json& node : nodes)
        count += 1 + (node.contains("children") ? CountNodes(node["children"]) : 0);
    return count;
}

void BM_GetPublishSetItems(benchmark::State& state) {
    Session& session = GetSession();
    const auto set = static_cast<int>(state.range(0));
    const GS::Ref<JS::Function> function = FindFunction(session, "GetPublishSetItems");
    const GS::Ref<JS::Base> argument = TextArgument(json{{"rootGuid", RootGuid(set)}}.dump());
    std::string tree;
    for (auto _ : state) {
        GS::Ref<JS::Base> result = function->Call(argument);
        benchmark::DoNotOptimize(result);
        state.PauseTiming();
        tree = TextResult(result);
        state.ResumeTiming();
    }
    const SetShape shape = SetShapes[set];
    const auto expected = static_cast<std::size_t>(shape.folders) * static_cast<std::size_t>(shape.views + 1);
    const json parsed = json::parse(tree, nullptr, false);
    const std::size_t nodes = parsed.is_array() ? CountNodes(parsed) : 0;
    if (nodes != expected) state.SkipWithError("the walk did not give every item of the set");
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(nodes));
    state.counters["items"] = static_cast<double>(nodes);
    state.counters["textMB"] = static_cast<double>(tree.size()) / 1e6;
}

// The request of a run over the first `count` views of the large set, and their prepared files in place, so that
// every item is found in the folder and none is published.
std::string PrepareCachedItems(Session& session, int count) {
    const fs::path prepared = session.home / "Exchange" / "PreparePublish";
    fs::remove_all(prepared);
    fs::create_directories(prepared);
    json items = json::array();
    for (int n = 0; n < count; ++n) {
        const std::string key = ViewGuid(LargeSet, n);
        std::ofstream(prepared / (key + ".pdf"), std::ios::binary) << "%PDF-1.4\n%%EOF\n";
        items.push_back({{"key", key},
                         {"title", "View " + std::to_string(n + 1)},
                         {"isLeaf", true},
                         {"folder", "f-" + std::to_string(n % 100)},
                         {"docName", "Sheet " + std::to_string(n + 1)}});
    }
    return json{{"guid", SetGuid(LargeSet)},
                {"projectId", "benchmark-project"},
                {"publishSet", R"({"title":"Set 100x100"})"},
                {"publishItems", std::move(items)}}
        .dump();
}

void BM_PreparePublishDocs(benchmark::State& state) {
    Session& session = GetSession();
    const auto count = static_cast<int>(state.range(0));
    const GS::Ref<JS::Function> function = FindFunction(session, "PreparePublishDocs");
    const GS::Ref<JS::Base> argument = TextArgument(PrepareCachedItems(session, count));
    const fs::path itemFolders = session.home / "Exchange" / "TempPublish";
    std::string prepared;
    for (auto _ : state) {
        GS::Ref<JS::Base> result = function->Call(argument);
        benchmark::DoNotOptimize(result);
        state.PauseTiming();
        prepared = TextResult(result);
        std::error_code error;
        // An item published rather than found would have had a folder of its own here.
        const bool nonePublished = fs::is_empty(itemFolders, error) && !error;
        state.ResumeTiming();
        if (!nonePublished) {
            state.SkipWithError("an item was published instead of found in PreparePublish");
            break;
        }
    }
    const json parsed = json::parse(prepared, nullptr, false);
    if (!parsed.is_array() || parsed.size() != static_cast<std::size_t>(count))
        state.SkipWithError("not every item was prepared");
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["items"] = count;
}

int WaitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Upload {
    std::string key;
    std::string docName;
    fs::path file;
};

// The 64 prepared documents (every file different) and the service stand-in of this run, once.
const std::vector<Upload>& PrepareUploads(Session& session) {
    static std::vector<Upload> uploads;
    if (!uploads.empty()) return uploads;
    if (QUILLMAR_SERVICE_PORT == 0) throw std::runtime_error("the build names no local service address");
    session.service = std::make_unique<ServiceStandIn::Server>(session.home / "Service");
    StartOwnService(*session.service);

    const fs::path prepared = session.home / "Exchange" / "PreparePublish";
    fs::remove_all(prepared);
    fs::create_directories(prepared);
    std::vector<char> bytes(UploadBytes);
    std::uint32_t seed = 12345u;
    for (int i = 0; i < UploadCount; ++i) {
        for (char& c : bytes) {
            seed = seed * 1103515245u + 12345u;
            c = static_cast<char>(seed >> 24);
        }
        char number[8];
        std::snprintf(number, sizeof number, "%02d", i);
        Upload upload{std::string("Upload-") + number, std::string("Sheet-") + number, {}};
        upload.file = prepared / (upload.key + ".pdf");
        std::ofstream out(upload.file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) throw std::runtime_error("cannot write " + upload.file.string());
        uploads.push_back(std::move(upload));
    }
    return uploads;
}

// Whether the service kept one document of full size per upload since the last call; empties its storage and its
// record of requests for the next client.
bool ServiceKeptAll(Session& session) {
    std::size_t kept = 0;
    for (const ServiceStandIn::RequestRecord& record : session.service->Requests())
        if (record.path == "/api/document" && record.status == 201 && record.size == UploadBytes) ++kept;
    session.service->ClearRequests();
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(session.service->StorageFolder(), ignored))
        fs::remove(entry.path(), ignored);
    return kept == UploadCount;
}

struct AddOnTimes {
    double call = 0.0;  // HandlePublishSets returned: the copies made and the jobs started
    double total = 0.0; // "CompleteExportPublish()" reached the page
};

std::optional<AddOnTimes> UploadByAddOn(Session& session, const std::vector<Upload>& uploads) {
    json items = json::array();
    for (const Upload& upload : uploads)
        items.push_back({{"key", upload.key},
                         {"docName", upload.docName},
                         {"ext", "pdf"},
                         {"filePath", upload.file.string()},
                         {"folder", UploadFolderId}});
    const GS::Ref<JS::Base> argument =
        TextArgument(json{{"projectId", "benchmark-project"}, {"token", Token}, {"publishItems", items}}.dump());
    const GS::Ref<JS::Function> function = FindFunction(session, "HandlePublishSets");
    // Each round as a first run: the copies of the round before do not have to be removed first.
    std::error_code ignored;
    fs::remove_all(session.home / "Exchange" / "Publish", ignored);

    const HostSim::ScriptLog& scripts = session.host->GetScriptLog();
    const std::size_t from = scripts.GetSize();
    bool completed = false;
    bool failed = false;
    const auto start = std::chrono::steady_clock::now();
    (void)function->Call(argument); // always true; the outcome reaches the page as a script
    const auto called = std::chrono::steady_clock::now();
    session.host->GetMainThread().RunUntil(
        [&] {
            completed = scripts.Find("CompleteExportPublish()", from).has_value();
            failed = scripts.Find("FailedExportPublish()", from).has_value();
            return completed || failed;
        },
        std::chrono::minutes(5));
    const auto end = std::chrono::steady_clock::now();
    if (!completed || !ServiceKeptAll(session)) return std::nullopt;
    // Every job must also have reported its document to the page.
    const json documents = json::parse(
        TextResult(FindFunction(session, "CompleteExportPublish")->Call(GS::Ref<JS::Base>())), nullptr, false);
    if (!documents.is_object() || documents.size() != uploads.size()) return std::nullopt;
    return AddOnTimes{std::chrono::duration<double>(called - start).count(),
                      std::chrono::duration<double>(end - start).count()};
}

// The same uploads by 64 curl processes at once, each with the add-on's URL, headers and one-part form, the part
// named as the add-on names it (its copy's name). One process with --parallel would keep its connections open until
// the last transfer ends, and the stand-in holds a server thread on a kept connection for its keep-alive second;
// the add-on's jobs close theirs when done, and so does a curl process when it exits.
std::optional<double> UploadByCurl(Session& session, const std::vector<Upload>& uploads) {
    const std::string url = std::string("http://") + QUILLMAR_SERVICE_HOST + ":" +
                            std::to_string(QUILLMAR_SERVICE_PORT) + "/api/document?folderId=" + UploadFolderId;
    std::vector<std::vector<std::string>> commands;
    for (const Upload& upload : uploads)
        commands.push_back({QUILLMAR_CURL_TOOL, "-sS", "-H", "Quillmar-Client-Id: Quillmar Plugin Archicad", "-H",
                            std::string("X-Project-Authorization: bearer ") + Token, "-o", "/dev/null", "-w",
                            "%{http_code}", "-F",
                            "file=@" + upload.file.string() + ";filename=" + upload.docName + ".pdf", url});
    const auto output = [&](std::size_t i) { return session.home / ("curl-" + std::to_string(i) + ".out"); };

    const auto start = std::chrono::steady_clock::now();
    std::vector<pid_t> processes;
    for (std::size_t i = 0; i < commands.size(); ++i)
        processes.push_back(Spawn(commands[i], output(i), session.home / ("curl-" + std::to_string(i) + ".err")));
    bool allExited = true;
    for (const pid_t pid : processes)
        allExited = pid > 0 && WaitFor(pid) == 0 && allExited;
    const auto end = std::chrono::steady_clock::now();

    bool allCreated = allExited;
    for (std::size_t i = 0; i < commands.size(); ++i)
        allCreated = ReadText(output(i)) == "201" && allCreated;
    if (!ServiceKeptAll(session) || !allCreated) return std::nullopt;
    return std::chrono::duration<double>(end - start).count();
}

// One round per iteration: the add-on and the curl tool, back to back, the first of them alternating by round.
void BM_PublishUploads(benchmark::State& state) {
    if (std::strlen(QUILLMAR_CURL_TOOL) == 0) {
        state.SkipWithError("no curl tool was found when the benchmark was configured");
        return;
    }
    Session& session = GetSession();
    const std::vector<Upload>& uploads = PrepareUploads(session);
    static int round = 0;
    for (auto _ : state) {
        const bool addOnFirst = round++ % 2 == 0;
        std::optional<double> curl;
        if (!addOnFirst) curl = UploadByCurl(session, uploads);
        const std::optional<AddOnTimes> addOn = UploadByAddOn(session, uploads);
        if (addOnFirst) curl = UploadByCurl(session, uploads);
        if (!addOn || !curl) {
            state.SkipWithError(!addOn ? "the add-on's uploads did not all arrive" : "the curl tool's uploads failed");
            break;
        }
        state.SetIterationTime(addOn->total);
        state.counters["copy_s"] = addOn->call;
        state.counters["curl_s"] = *curl;
        state.counters["ratio"] = addOn->total / *curl;
        std::fprintf(stderr, "round %d (%s first): add-on %.3f s (copies %.3f s), curl tool %.3f s, ratio %.3f\n",
                     round, addOnFirst ? "add-on" : "curl tool", addOn->total, addOn->call, *curl,
                     addOn->total / *curl);
    }
    state.SetBytesProcessed(state.iterations() * UploadCount * static_cast<std::int64_t>(UploadBytes));
}

// {publisher set: 0 is 10 x 100 views, 1 is 100 x 100, 2 is 300 x 100}
BENCHMARK(BM_GetPublishSetItems)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
// {items, all found in PreparePublish}
BENCHMARK(BM_PreparePublishDocs)
    ->Arg(100)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// One round per iteration; repetitions give the rounds.
BENCHMARK(BM_PublishUploads)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    int exitCode = 0;
    try {
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "PublishBenchmark: %s\n", error.what());
        exitCode = 1;
    }
    benchmark::Shutdown();
    // The session exists once any benchmark ran; its folder holds 640 MB after the uploads.
    Session& session = GetSession();
    session.host->Quit(true);
    if (session.service) session.service->Stop();
    std::error_code ignored;
    fs::remove_all(session.home, ignored);
    return exitCode;
}
