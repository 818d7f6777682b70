#include "ServiceClient.hpp"

#include <csignal>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

// The service as a child process whose standard output the test reads.
class ServiceProcess {
public:
    explicit ServiceProcess(const std::filesystem::path& storage, std::vector<std::string> options = {}) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        std::vector<std::string> words{QUILLMAR_SERVICE_EXE, "--listen", "127.0.0.1:0", "--storage", storage.string()};
        words.insert(words.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid, words[0].c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        output = fds[0];
    }
    ~ServiceProcess() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            Wait();
        }
        if (output >= 0) ::close(output);
    }

    // Everything printed until the line containing text appears or the time runs out.
    std::string ReadUntil(const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (printed.find(text) == std::string::npos || printed.find('\n', printed.find(text)) == std::string::npos) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd readable{output, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&readable, 1, int(left.count())) <= 0) break;
            char buffer[4096];
            const ssize_t got = ::read(output, buffer, sizeof buffer);
            if (got <= 0) break;
            printed.append(buffer, std::size_t(got));
        }
        return printed;
    }

    int Wait() {
        int status = -1;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return status;
    }

    pid_t pid = -1;
    int output = -1;
    std::string printed;
};

class ServiceExecutableTest : public ::testing::TestWithParam<int> {};

TEST_P(ServiceExecutableTest, ServesTheApiAndThePageLogsEachRequestAndStopsOnTheSignal) {
    const QuillmarTest::TempFolder folder;
    ServiceProcess service(folder.Path());
    ASSERT_GT(service.pid, 0);

    const std::string started = service.ReadUntil("listening on http://127.0.0.1:");
    const std::size_t portAt = started.find("127.0.0.1:");
    ASSERT_NE(portAt, std::string::npos) << started;
    const std::string origin = "http://127.0.0.1:" + std::to_string(std::stoi(started.substr(portAt + 10)));

    const Reply page = Perform(Call{origin + "/app/index.html"});
    Call upload{origin + "/api/resource", "POST"};
    upload.parts.push_back(Part::Bytes("image", "shot.png"));
    const Reply uploaded = Perform(upload);
    const Reply downloaded = Perform(Call{origin + "/api/resource/" + uploaded.body});

    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("QUILAPI"), std::string::npos);
    EXPECT_EQ(uploaded.status, 201);
    EXPECT_EQ(downloaded.body, "image");
    service.ReadUntil("GET /api/resource/img-1 -> 200");
    ASSERT_EQ(::kill(service.pid, GetParam()), 0);
    const int status = service.Wait();
    const std::string printed = service.ReadUntil("quillmar-service stopped");

    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(printed.find("GET /app/index.html -> 200\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("POST /api/resource -> 201 part=file file=\"shot.png\" size=5 stored=upload-1.png\n"),
              std::string::npos)
        << printed;
    EXPECT_NE(printed.find(GetParam() == SIGINT ? "stopped on SIGINT" : "stopped on SIGTERM"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(StopSignals, ServiceExecutableTest, ::testing::Values(SIGINT, SIGTERM));

// The origin the service printed once it listened; empty when it did not say.
std::string OriginOf(ServiceProcess& service) {
    const std::string started = service.ReadUntil("listening on http://127.0.0.1:");
    const std::size_t portAt = started.find("127.0.0.1:");
    if (portAt == std::string::npos) return {};
    return "http://127.0.0.1:" + std::to_string(std::stoi(started.substr(portAt + 10)));
}

Reply UploadTo(const std::string& origin) {
    Call upload{origin + "/api/resource", "POST"};
    upload.parts.push_back(Part::Bytes("image", "shot.png"));
    return Perform(upload);
}

TEST(ServiceExecutableMisbehaviour, AnswersAsItsOptionsSayForTheirCount) {
    const QuillmarTest::TempFolder folder;
    ServiceProcess service(folder.Path(), {"--answer", "503:busy: try later", "--count", "1"});
    ASSERT_GT(service.pid, 0);
    const std::string origin = OriginOf(service);
    ASSERT_FALSE(origin.empty()) << service.printed;
    service.ReadUntil("quillmar-service misbehaves");

    const Reply busy = UploadTo(origin);
    const Reply kept = UploadTo(origin);

    EXPECT_EQ(busy.status, 503);
    EXPECT_EQ(busy.body, "busy: try later");
    EXPECT_EQ(kept.status, 201);
}

TEST(ServiceExecutableMisbehaviour, RefusesConnectionsUntilSIGUSR1) {
    const QuillmarTest::TempFolder folder;
    ServiceProcess service(folder.Path(), {"--refuse"});
    ASSERT_GT(service.pid, 0);
    const std::string origin = OriginOf(service);
    ASSERT_FALSE(origin.empty()) << service.printed;
    service.ReadUntil("quillmar-service misbehaves");

    const Reply refused = UploadTo(origin);
    ASSERT_EQ(::kill(service.pid, SIGUSR1), 0);
    const std::string printed = service.ReadUntil("quillmar-service behaves");
    const Reply kept = UploadTo(origin);

    EXPECT_EQ(refused.code, CURLE_COULDNT_CONNECT);
    EXPECT_NE(printed.find("quillmar-service behaves\n"), std::string::npos) << printed;
    EXPECT_EQ(kept.status, 201);
}

TEST(ServiceExecutableMisbehaviour, OptionsThatMakeNoBehaviourEndTheServiceWithCode2) {
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--answer", "99"}, std::vector<std::string>{"--drop", "--refuse"},
          std::vector<std::string>{"--slow", "5"}, std::vector<std::string>{"--stall-after", "10"},
          std::vector<std::string>{"--redirect", "mars"}}) {
        const QuillmarTest::TempFolder folder;
        ServiceProcess service(folder.Path(), options);
        ASSERT_GT(service.pid, 0);
        const int status = service.Wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << options[0] << " " << status;
    }
}

TEST(WebAppPage, DefinesEveryPageFunctionTheAddOnRunsAndLoadsNothingFromOutside) {
    std::ifstream in(std::filesystem::path(QUILLMAR_WEBAPP_DIR) / "index.html");
    const std::string page{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(page.empty());
    for (const char* name : {"CompleteExportModel", "FailExportModel", "CompleteExportPlan", "FailExportPlan",
                             "CompleteExportPublish", "FailedExportPublish", "CompleteImportModels", "InsertViewpoint",
                             "UpdateSelectedElements", "RequestFileName"})
        EXPECT_NE(page.find("function " + std::string(name) + "()"), std::string::npos) << name;
    EXPECT_EQ(page.find("src="), std::string::npos);
    EXPECT_EQ(page.find("href=\"http"), std::string::npos);
}

} // namespace
