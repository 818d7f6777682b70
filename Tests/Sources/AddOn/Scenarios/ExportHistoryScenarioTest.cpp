// The page's export histories on the user's machine: saved in one host run, read back in another, per project and
// kind, byte for byte, and never half-written.

#include "AddOnScenario.hpp"
#include "TempFolder.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace AddOnScenario;

namespace {

class ExportHistoryScenario : public ::testing::Test {
protected:
    Lines Run(const std::string& scenario) {
        HostSim::HostOptions options = Options();
        options.home = home.Path();
        return RunScenario("{\"menu\": 32500, \"item\": 1}\n" + scenario, options);
    }

    static std::string Save(const json& projectId, const json& data, const json& isModel) {
        json request = json::object();
        if (!projectId.is_null()) request["projectId"] = projectId;
        if (!data.is_null()) request["data"] = data;
        if (!isModel.is_null()) request["isModel"] = isModel;
        return json{{"call", "SaveExportHistoryData"}, {"arg", request.dump()}}.dump() + "\n";
    }
    static std::string Get(const json& request) {
        return json{{"call", "GetExportHistory"}, {"arg", request.dump()}}.dump() + "\n";
    }
    static std::string Get(const std::string& projectId, bool model) {
        return Get(json{{"projectId", projectId}, {"model", model}});
    }

    // The history folder of a kind, wherever the add-on's data folder is in the home.
    std::filesystem::path Folder(bool model) const {
        std::error_code error;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(home.Path(), error))
            if (entry.path().filename() == (model ? "Export Model History" : "Export Other History"))
                return entry.path();
        return home / "missing";
    }

    // Tens of megabytes through the scenario, or thousands of runs of the add-on: sanitizers add hours of checks
    // here and nothing the other tests do not cover.
    static bool UnderSanitizer() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        return true;
#else
        return false;
#endif
    }

    QuillmarTest::TempFolder home;
};

TEST_F(ExportHistoryScenario, TextsComeBackByteForByteInALaterRun) {
    const std::size_t largeSize = UnderSanitizer() ? (1u << 20) : (50u << 20);
    const std::string ascii = R"([{"file":"House.ifc","at":"2026-12-09"}])";
    const std::string other = "Grüße, 東京, 😀 and a quote \" and a backslash \\";
    std::string large(largeSize, 'x');
    for (std::size_t i = 0; i < large.size(); i += 4096)
        large[i] = static_cast<char>('a' + i / 4096 % 26);
    const Lines saved =
        Run(Save("p1", ascii, true) + Save("p1", other, false) + Save("p2", "", true) + Save("p3", large, true));
    EXPECT_TRUE(With(saved, "error").empty()) << Dump(saved);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(ResultOf(saved, "SaveExportHistoryData", i), true);

    const Lines read = Run(Get("p1", true) + Get("p1", false) + Get("p2", true) + Get("p3", true));
    EXPECT_EQ(ResultOf(read, "GetExportHistory", 0), ascii);
    EXPECT_EQ(ResultOf(read, "GetExportHistory", 1), other);
    EXPECT_EQ(ResultOf(read, "GetExportHistory", 2), "");
    EXPECT_TRUE(ResultOf(read, "GetExportHistory", 3) == large) << largeSize << " bytes whole";
    EXPECT_EQ(QuillmarTest::ReadFile(Folder(false) / "p1.his"), other) << "exactly the text, no framing";
    EXPECT_TRUE(std::filesystem::exists(Folder(true) / "p2.his"));
    EXPECT_EQ(std::filesystem::file_size(Folder(true) / "p2.his"), 0u);
}

TEST_F(ExportHistoryScenario, EachKindHasItsFileAndTheLastSaveIsKeptWhole) {
    const Lines lines = Run(Save("p1", "first, the longer text", true) + Save("p1", "second", true) + Get("p1", true) +
                            Get("p1", false) + Get(json{{"projectId", "p1"}, {"isModel", true}}) + Get("never", true));
    EXPECT_EQ(ResultOf(lines, "GetExportHistory", 0), "second") << "a shorter second save leaves nothing behind";
    EXPECT_EQ(ResultOf(lines, "GetExportHistory", 1), "") << "the other kind";
    EXPECT_EQ(ResultOf(lines, "GetExportHistory", 2), "") << "\"isModel\" is the saving key";
    EXPECT_EQ(ResultOf(lines, "GetExportHistory", 3), "");
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Folder(true)))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, std::set<std::string>{"p1.his"}) << "no temporary file is left behind";
}

TEST_F(ExportHistoryScenario, RequestsThatCannotBeReadOrNameNoFileSaveNothing) {
    std::string scenario = Save("p1", "kept", true);
    scenario += Save(nullptr, "d", true) + Save("p1", nullptr, true) + Save("p1", "d", nullptr) +
                Save("p1", "d", "yes") + Save("p1", 5, true) + Save(7, "d", true);
    scenario += json{{"call", "SaveExportHistoryData"}, {"arg", "not json"}}.dump() + "\n";
    scenario += json{{"call", "SaveExportHistoryData"}, {"arg", "[1]"}}.dump() + "\n";
    for (const char* id : {"../up", "a/b", "a\\b", ".", "..", "C:x", "x\ny", ""})
        scenario += Save(id, "escaped", true) + Get(id, true);
    scenario += Save(std::string(201, 'p'), "long", true) + Get(std::string(201, 'p'), true);
    scenario += Get("p1", true) + Get(json::array()) + Get(json{{"projectId", "p1"}, {"model", "yes"}});
    const Lines lines = Run(scenario);

    EXPECT_TRUE(With(lines, "error").empty()) << "no \"Bad cast.\"\n" << Dump(lines);
    for (const json& line : lines) {
        if (line.value("call", "") == "SaveExportHistoryData") {
            EXPECT_EQ(line["result"], true);
        }
    }
    const std::size_t gets = static_cast<std::size_t>(Count(lines, json{{"call", "GetExportHistory"}, {"result", ""}}));
    EXPECT_EQ(gets, 11u) << "every read but the one of p1 is empty";
    EXPECT_EQ(Count(lines, json{{"call", "GetExportHistory"}, {"result", "kept"}}), 1);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home.Path())) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".his" || name.find("escaped") != std::string::npos) ++files;
    }
    EXPECT_EQ(files, 1u) << "only p1.his exists, nowhere else anything";
}

// Two host processes save histories of the same project and kind at the same time; whatever moment the file is
// read, it holds one of the two texts whole.
TEST_F(ExportHistoryScenario, TwoProcessesSavingAtOnceNeverLeaveAMixOrACut) {
    const int Saves = UnderSanitizer() ? 50 : 1000;
    const std::string textA(60000, 'a');
    const std::string textB(20000, 'b');
    const auto writeScenario = [&](const std::filesystem::path& file, const std::string& text) {
        std::ofstream out(file);
        out << "{\"menu\": 32500, \"item\": 1}\n";
        for (int i = 0; i < Saves; ++i)
            out << Save("shared", text, true);
        out << "{\"quit\": {\"release\": true}}\n";
    };
    writeScenario(home / "a.scenario", textA);
    writeScenario(home / "b.scenario", textB);

    std::vector<pid_t> processes;
    for (const char* name : {"a.scenario", "b.scenario"}) {
        const std::string scenario = (home / name).string();
        const std::string homeFolder = home.Path().string();
        std::vector<std::string> args{HOSTSIM_PATH, "--module", QUILLMAR_ADDON_PATH, "--home", homeFolder,
                                      "--scenario", scenario};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, HOSTSIM_PATH, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        processes.push_back(pid);
    }

    // Read while they write, until both have ended; then once more.
    const auto historyFile = [&]() -> std::filesystem::path {
        std::error_code error;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(home.Path(), error))
            if (entry.path().filename() == "shared.his") return entry.path();
        return {};
    };
    std::size_t reads = 0;
    std::size_t running = processes.size();
    std::vector<int> statuses;
    while (running > 0) {
        for (pid_t& pid : processes) {
            int status = 0;
            if (pid != 0 && waitpid(pid, &status, WNOHANG) == pid) {
                statuses.push_back(status);
                pid = 0;
                --running;
            }
        }
        const std::filesystem::path file = historyFile();
        if (file.empty()) continue;
        const std::string content = QuillmarTest::ReadFile(file);
        ASSERT_NE(content, "<missing>") << "once saved, the history is replaced, never removed";
        ++reads;
        ASSERT_TRUE(content == textA || content == textB) << "read " << reads << ": " << content.size() << " bytes";
    }
    for (const int status : statuses)
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "hostsim ended with " << status;
    const std::string last = QuillmarTest::ReadFile(historyFile());
    EXPECT_TRUE(last == textA || last == textB);
    EXPECT_GT(reads, 0u);
}

} // namespace
