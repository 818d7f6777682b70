#include "JobTestFixture.hpp"

#include "KeepInMemory.hpp"
#include "ServiceAddress.hpp"
#include "Transfer/TransferJobs.hpp"

namespace {

constexpr UInt32 JobTimeoutMs = 60000;

} // namespace

void JobTest::SetUp() {
    ASSERT_TRUE(server.Start(QuillmarTest::ServiceHost, QuillmarTest::ServicePort))
        << "the service port " << QuillmarTest::ServicePort << " is taken";
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
