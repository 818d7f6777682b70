#include "JobTestFixture.hpp"

#include "BuildConfig.hpp"
#include "KeepInMemory.hpp"
#include "Transfer/TransferJobs.hpp"

#include <regex>

namespace {

constexpr UInt32 JobTimeoutMs = 60000;

// Host and port of the build's service address.
bool ServiceAddress(std::string& host, int& port) {
    static const std::regex pattern(R"(^http://([^/:]+):([0-9]+)/api$)");
    std::smatch match;
    const std::string url = ApiBaseURL;
    if (!std::regex_match(url, match, pattern)) return false;
    host = match[1].str();
    port = std::stoi(match[2].str());
    return true;
}

} // namespace

void JobTest::SetUp() {
    std::string host;
    int port = 0;
    ASSERT_TRUE(ServiceAddress(host, port)) << "jobs need a plain local service address, not " << ApiBaseURL;
    ASSERT_TRUE(server.Start(host, port)) << "the service port " << port << " is taken";
    keepRequestsAtStart = GetKeepInMemoryRequestCount();
}

void JobTest::TearDown() {
    ASSERT_TRUE(WaitForJobs()) << "a job thread did not end";
    EXPECT_EQ(GetKeepInMemoryRequestCount(), keepRequestsAtStart) << "every job withdrew its keep-in-memory request";
    server.Stop();
}

void JobTest::RunToEnd(GS::RunnableTask job, const char* threadName) {
    ASSERT_EQ(StartJob(std::move(job), threadName), NoError);
    ASSERT_TRUE(WaitForJobs());
}

bool JobTest::WaitForJobs() {
    return GS::Thread::WaitForAllThreads(JobTimeoutMs);
}

GS::UniString JobTest::MakeFile(const std::string& name, const std::string& bytes) const {
    WriteFile(files / name, bytes);
    return Local(name);
}
