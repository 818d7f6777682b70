#include "ServiceClient.hpp"

#include <gmock/gmock.h>

#include <atomic>
#include <latch>
#include <mutex>
#include <set>
#include <thread>

using namespace std::chrono_literals;
using ServiceStandIn::Fault;
using ServiceStandIn::RequestRecord;

namespace {

using ServiceLifecycleTest = ServerTest;

TEST_F(ServiceLifecycleTest, RunsOnAnEphemeralPortAndCanBeStoppedAndStartedAgain) {
    const int port = server.Port();
    ASSERT_GT(port, 0);
    EXPECT_EQ(server.BaseUrl(), "http://127.0.0.1:" + std::to_string(port) + "/api");
    EXPECT_FALSE(server.Start()); // already running
    ASSERT_EQ(Upload("/resource", "data").status, 201);

    server.Stop();
    server.Stop();
    EXPECT_FALSE(server.IsRunning());
    EXPECT_EQ(server.Port(), 0);
    EXPECT_EQ(Perform(Call{"http://127.0.0.1:" + std::to_string(port) + "/api/resource/img-1"}).code,
              CURLE_COULDNT_CONNECT);

    ASSERT_TRUE(server.Start());
    const Reply again = Perform(Call{Url("/resource/img-1")}); // what was stored outlives the restart
    EXPECT_EQ(again.body, "data");
    EXPECT_EQ(server.RequestCount(), 2u);
}

TEST_F(ServiceLifecycleTest, RefusingClosesThePortUntilItListensThereAgainAndKeepsWhatItHolds) {
    const int port = server.Port();
    ASSERT_EQ(Upload("/resource", "data").status, 201);

    ASSERT_TRUE(server.SetRefusing(true));
    EXPECT_TRUE(server.SetRefusing(true)) << "already refusing";
    EXPECT_TRUE(server.IsRefusing());
    EXPECT_TRUE(server.IsRunning());
    EXPECT_EQ(server.Port(), port);
    EXPECT_FALSE(server.Start()) << "a refusing server still runs";
    EXPECT_EQ(Perform(Call{Url("/resource/img-1")}).code, CURLE_COULDNT_CONNECT);

    ASSERT_TRUE(server.SetRefusing(false));
    EXPECT_FALSE(server.IsRefusing());
    EXPECT_EQ(server.Port(), port);
    EXPECT_EQ(Perform(Call{Url("/resource/img-1")}).body, "data");
    EXPECT_EQ(server.RequestCount(), 2u);

    ASSERT_TRUE(server.SetRefusing(true));
    server.Stop();
    EXPECT_FALSE(server.IsRefusing());
    EXPECT_FALSE(server.SetRefusing(false)) << "a stopped server does not listen again";
    EXPECT_FALSE(server.SetRefusing(true));
}

TEST_F(ServiceLifecycleTest, APortInUseIsRefused) {
    ServiceStandIn::Server other(root / "other");
    EXPECT_FALSE(other.Start("127.0.0.1", server.Port()));
    EXPECT_FALSE(other.IsRunning());
    EXPECT_EQ(other.Port(), 0);
}

TEST_F(ServiceLifecycleTest, ServesAFolderAndLogsEachRequestOnOneLine) {
    const std::filesystem::path page = root / "page";
    std::filesystem::create_directory(page);
    WriteFile("page/index.html", "<p>page</p>");
    std::mutex linesMutex;
    std::vector<std::string> lines;
    ServiceStandIn::Server withPage(root / "other");
    withPage.ServeFolder("/app", page);
    withPage.SetLogSink([&](const std::string& line) {
        std::lock_guard lock(linesMutex);
        lines.push_back(line);
    });
    ASSERT_TRUE(withPage.Start());
    const std::string origin = "http://127.0.0.1:" + std::to_string(withPage.Port());

    const Reply index = Perform(Call{origin + "/app/index.html"});
    const Reply missing = Perform(Call{origin + "/app/missing.html"});
    const Reply api = Perform(Call{origin + "/api/resource/x"});
    withPage.Stop(); // every line has been given once the threads are gone

    EXPECT_EQ(index.status, 200);
    EXPECT_EQ(index.body, "<p>page</p>");
    EXPECT_TRUE(index.HasHeaderLine("Content-Type: text/html"));
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(api.status, 404);
    // Static requests are logged once answered, so lines of consecutive requests may swap.
    EXPECT_THAT(lines, ::testing::UnorderedElementsAre("GET /app/index.html -> 200", "GET /app/missing.html -> 404",
                                                       "GET /api/resource/x -> 404"));

    ServiceStandIn::Server noFolder(root / "other");
    noFolder.ServeFolder("/app", root / "absent");
    EXPECT_FALSE(noFolder.Start());
}

constexpr int Clients = 8;
constexpr int UploadsPerClient = 3;

// Runs body(client, index) for every upload, the clients on threads that start together.
template <typename Body>
void FromAllClients(Body body) {
    std::latch start(Clients);
    std::vector<std::thread> threads;
    for (int client = 0; client < Clients; ++client) {
        threads.emplace_back([&, client] {
            start.arrive_and_wait();
            for (int index = 0; index < UploadsPerClient; ++index)
                body(client, index);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
}

TEST_F(ServiceLifecycleTest, ConcurrentUploadsAreAllKeptUnderDistinctIds) {
    std::mutex idsMutex;
    std::set<std::string> ids;
    FromAllClients([&](int client, int index) {
        const std::string name = std::to_string(client) + "-" + std::to_string(index);
        const Reply reply = Upload("/resource", "content " + name, name + ".png");
        EXPECT_EQ(reply.status, 201);
        std::lock_guard lock(idsMutex);
        ids.insert(reply.body);
    });

    EXPECT_EQ(ids.size(), std::size_t(Clients * UploadsPerClient));
    const std::vector<RequestRecord> records = server.Requests();
    ASSERT_EQ(records.size(), std::size_t(Clients * UploadsPerClient));
    for (const RequestRecord& record : records) {
        const std::string name = record.partFileName.substr(0, record.partFileName.size() - 4);
        EXPECT_EQ(ReadFile(record.storedFile), "content " + name);
    }
}

TEST_F(ServiceLifecycleTest, ACountedFaultIsTakenExactlyThatOftenByConcurrentRequests) {
    server.InjectFault(Fault::AnswerStatus(503, "busy"), 5);
    std::atomic<int> refused = 0, kept = 0;
    FromAllClients([&](int, int) {
        const long status = Upload("/resource", "data").status;
        refused += status == 503 ? 1 : 0;
        kept += status == 201 ? 1 : 0;
    });
    EXPECT_EQ(refused, 5);
    EXPECT_EQ(kept, Clients * UploadsPerClient - 5);
}

TEST_F(ServiceLifecycleTest, FaultsMayChangeWhileRequestsRun) {
    std::atomic<bool> done = false;
    std::thread changer([&] {
        while (!done) {
            server.InjectFault(Fault::AnswerStatus(503, "busy"), 2);
            std::this_thread::sleep_for(1ms);
            server.ClearFault();
        }
    });
    std::atomic<int> unexpected = 0;
    FromAllClients([&](int, int) {
        const long status = Upload("/resource", "data").status;
        unexpected += status == 503 || status == 201 ? 0 : 1;
        (void)server.Requests();
    });
    done = true;
    changer.join();
    EXPECT_EQ(unexpected, 0);
}

} // namespace
