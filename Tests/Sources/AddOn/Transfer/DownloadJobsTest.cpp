#include "JobTestFixture.hpp"

#include "KeepInMemory.hpp"
#include "Transfer/TransferJobs.hpp"

#include <gmock/gmock.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using ServiceStandIn::Fault;
using ServiceStandIn::RequestRecord;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

std::vector<std::string> Texts(const GS::Array<GS::UniString>& texts) {
    std::vector<std::string> result;
    for (const GS::UniString& text : texts)
        result.push_back(text.ToCStr().ToString());
    return result;
}

class DownloadJobTest : public JobTest {
protected:
    struct Download {
        const char* resourceId;
        GS::UniString targetPath;
    };

    // Builds a download group as an IFC download run does: one thread per model, then the watcher over them.
    void StartGroup(const std::vector<Download>& downloads, const GS::UniString& token = "tok") {
        GS::Array<GS::Thread*> threads;
        GS::Array<GS::UniString> paths;
        for (const Download& download : downloads) {
            GS::Thread* thread = StartOwnedJob(GS::NewOwned<ImportIFC>(token, download.resourceId, download.targetPath),
                                               download.resourceId);
            ASSERT_NE(thread, nullptr);
            threads.Push(thread);
            paths.Push(download.targetPath);
        }
        ASSERT_EQ(StartJob(GS::NewOwned<WatchThread>(reports, std::move(threads), std::move(paths)), "watchThread"),
                  NoError);
    }
};

TEST_F(DownloadJobTest, AGroupDownloadsEveryModelAndReportsAllPathsOnce) {
    const std::string first = PatternBytes(2u << 20, 3);
    server.AddResource("res-1", first);
    server.AddResource("res-2", "second model");
    const GS::UniString a = Local("First.ifc");
    const GS::UniString b = Local("Second.ifc");

    StartGroup({{"res-1", a}, {"res-2", b}});
    ASSERT_TRUE(WaitForJobs());

    EXPECT_THAT(page.Scripts(), ElementsAre("CompleteImportModels()"));
    EXPECT_EQ(Texts(exchange->GetImportList()), Texts(GS::Array<GS::UniString>{a, b}));
    EXPECT_TRUE(ReadFile(files / "First.ifc") == first);
    EXPECT_EQ(ReadFile(files / "Second.ifc"), "second model");
    EXPECT_EQ(FolderEntries(files.Path()), (std::set<std::string>{"First.ifc", "Second.ifc"}));
    std::set<std::string> paths;
    for (const RequestRecord& record : server.Requests()) {
        paths.insert(record.path);
        EXPECT_EQ(record.method, "GET");
        EXPECT_EQ(record.clientId, "Quillmar Plugin Archicad");
        EXPECT_EQ(record.authorization, "bearer tok");
    }
    EXPECT_EQ(paths, (std::set<std::string>{"/api/resource/res-1", "/api/resource/res-2"}));
}

TEST_F(DownloadJobTest, AnExistingTargetMakesNoRequestAndItsPathIsStillReported) {
    server.AddResource("res-1", "from the service");
    const GS::UniString target = MakeFile("Cached.ifc", "cached earlier");
    StartGroup({{"res-1", target}});
    ASSERT_TRUE(WaitForJobs());
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_EQ(ReadFile(files / "Cached.ifc"), "cached earlier");
    EXPECT_THAT(page.Scripts(), ElementsAre("CompleteImportModels()"));
    EXPECT_THAT(Texts(exchange->GetImportList()), ElementsAre(target.ToCStr().ToString()));
}

TEST_F(DownloadJobTest, FailedDownloadsLeaveNoTargetAndTheirPathsAreStillReported) {
    server.AddResource("ok", "fine");
    server.AddResource("broken", PatternBytes(1u << 20));
    WriteFile(files / "TempIfcFile.ifc", "left by an earlier run");
    const GS::UniString missing = Local("Missing.ifc");
    const GS::UniString fine = Local("Fine.ifc");
    const GS::UniString refused = Local("Refused.ifc");
    StartGroup({{"unknown-id", missing}, {"ok", fine}, {"ok\r\nX: y", refused}});
    ASSERT_TRUE(WaitForJobs());

    EXPECT_THAT(page.Scripts(), ElementsAre("CompleteImportModels()"));
    EXPECT_EQ(Texts(exchange->GetImportList()), Texts(GS::Array<GS::UniString>{missing, fine, refused}));
    EXPECT_EQ(FolderEntries(files.Path()), (std::set<std::string>{"Fine.ifc", "TempIfcFile.ifc"}));
    EXPECT_EQ(ReadFile(files / "TempIfcFile.ifc"), "left by an earlier run");
    EXPECT_EQ(server.RequestCount(), 2u) << "the resource id with a line break was refused";
}

TEST_F(DownloadJobTest, DownloadsIntoOneFolderAtOnceUseDistinctTemporaryFiles) {
    const std::vector<std::string> contents = {PatternBytes(60000, 1), PatternBytes(60000, 2), PatternBytes(60000, 3)};
    for (std::size_t i = 0; i < contents.size(); ++i)
        server.AddResource("r" + std::to_string(i), contents[i]);
    server.InjectFault(Fault::Slow(4096, 15ms)); // about a quarter of a second each
    StartGroup({{"r0", Local("M0.ifc")}, {"r1", Local("M1.ifc")}, {"r2", Local("M2.ifc")}});

    // While all three are receiving, three temporary files exist side by side.
    std::size_t mostAtOnce = 0;
    // Sampled until the group has reported; each wait ends early when it does.
    do {
        std::size_t temporary = 0;
        for (const std::string& name : FolderEntries(files.Path()))
            temporary += name.starts_with("M") ? 0 : 1;
        mostAtOnce = std::max(mostAtOnce, temporary);
    } while (!page.WaitFor("CompleteImportModels()", 1, 2ms));
    ASSERT_TRUE(WaitForJobs());

    EXPECT_EQ(mostAtOnce, 3u);
    EXPECT_EQ(FolderEntries(files.Path()), (std::set<std::string>{"M0.ifc", "M1.ifc", "M2.ifc"}));
    for (std::size_t i = 0; i < contents.size(); ++i)
        EXPECT_TRUE(ReadFile(files / ("M" + std::to_string(i) + ".ifc")) == contents[i]) << "model " << i;
}

// ---- WatchThread ----

// Stands for a download: ends when its gate opens, and says so.
class Gate {
public:
    void Open() {
        std::lock_guard lock(mutex);
        open = true;
        opened.notify_all();
    }
    void Wait() {
        std::unique_lock lock(mutex);
        opened.wait(lock, [this] { return open; });
    }

private:
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
};

class GatedJob : public GS::Runnable {
public:
    GatedJob(Gate& gate, std::atomic<int>& ended) : gate(gate), ended(ended) {}
    void Run() override {
        gate.Wait();
        ++ended;
        ended.notify_all();
    }

private:
    Gate& gate;
    std::atomic<int>& ended;
};

using WatchThreadTest = JobTest;

TEST_F(WatchThreadTest, AnEmptyGroupReportsAtOnce) {
    WatchThread watcher(reports, {}, {});
    watcher.Run(); // on this thread: the report must already be there when Run returns
    EXPECT_THAT(page.Scripts(), ElementsAre("CompleteImportModels()"));
    EXPECT_THAT(Texts(exchange->GetImportList()), IsEmpty());

    WatchThread withPaths(reports, {}, GS::Array<GS::UniString>{"a.ifc"});
    withPaths.Run();
    EXPECT_THAT(Texts(exchange->GetImportList()), ElementsAre("a.ifc"));
}

TEST_F(WatchThreadTest, ItReportsOnlyAfterEveryThreadEnded) {
    std::atomic<int> ended = 0;
    Gate gates[3];
    GS::Array<GS::Thread*> threads;
    for (Gate& gate : gates) {
        threads.Push(StartOwnedJob(GS::NewOwned<GatedJob>(gate, ended), "gated"));
        ASSERT_NE(threads.GetLast(), nullptr);
    }
    ASSERT_EQ(StartJob(GS::NewOwned<WatchThread>(reports, std::move(threads), GS::Array<GS::UniString>{"x.ifc"}),
                       "watchThread"),
              NoError);

    // The last thread of the array ends first, then the first: the watcher still waits for the middle one.
    for (const int gate : {2, 0}) {
        const int before = ended.load();
        gates[gate].Open();
        ended.wait(before);
    }
    EXPECT_EQ(page.Count("CompleteImportModels()"), 0u) << "the report came before a thread had ended";
    gates[1].Open();
    ASSERT_TRUE(WaitForJobs());
    EXPECT_EQ(ended.load(), 3);
    EXPECT_EQ(page.Count("CompleteImportModels()"), 1u);
}

TEST_F(WatchThreadTest, WithoutAPaletteTheGroupEndsSilently) {
    server.AddResource("r", "model");
    reports->Detach(); // the palette went
    GS::Array<GS::Thread*> threads;
    threads.Push(StartOwnedJob(GS::NewOwned<ImportIFC>("t", "r", Local("M.ifc")), "r"));
    ASSERT_EQ(StartJob(GS::NewOwned<WatchThread>(reports, std::move(threads), GS::Array<GS::UniString>{Local("M.ifc")}),
                       "watchThread"),
              NoError);
    ASSERT_TRUE(WaitForJobs());
    EXPECT_EQ(ReadFile(files / "M.ifc"), "model");
    EXPECT_THAT(page.Scripts(), IsEmpty());
}

TEST_F(WatchThreadTest, TheGroupKeepsTheAddOnLoadedUntilTheWatcherIsGone) {
    server.AddResource("r", "model");
    server.InjectFault(Fault::Stall(1500ms));
    GS::Array<GS::Thread*> threads;
    threads.Push(StartOwnedJob(GS::NewOwned<ImportIFC>("t", "r", Local("A.ifc")), "r"));
    threads.Push(StartOwnedJob(GS::NewOwned<ImportIFC>("t", "r", Local("B.ifc")), "r"));
    ASSERT_EQ(
        StartJob(GS::NewOwned<WatchThread>(reports, std::move(threads), GS::Array<GS::UniString>{}), "watchThread"),
        NoError);
    EXPECT_EQ(GetKeepInMemoryRequestCount(), keepRequestsAtStart + 3);
    ASSERT_TRUE(WaitForJobs());
    EXPECT_EQ(GetKeepInMemoryRequestCount(), keepRequestsAtStart);
}

} // namespace
