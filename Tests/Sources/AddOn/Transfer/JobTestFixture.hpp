#ifndef TESTS_ADDON_TRANSFER_JOBTESTFIXTURE_HPP
#define TESTS_ADDON_TRANSFER_JOBTESTFIXTURE_HPP

#include "TransferTestSupport.hpp"

#include "Server.hpp"
#include "Thread.hpp"
#include "UniString.hpp"

#include <gtest/gtest.h>

#include <string>

// Jobs against the service stand-in on the build's service address, with a palette whose page records scripts.
// At the end every job thread must have ended and withdrawn its keep-in-memory request.
class JobTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the job on a named thread, as the add-on does, and waits until every job thread has ended.
    void RunToEnd(GS::RunnableTask job, const char* threadName);
    static bool WaitForJobs();

    GS::UniString MakeFile(const std::string& name, const std::string& bytes) const;
    GS::UniString Local(const std::string& name) const { return ToUniString(files / name); }

    ScriptRecorder page;
    TempFolder storage;
    TempFolder files;
    ServiceStandIn::Server server{storage.Path()};
    unsigned keepRequestsAtStart = 0;
};

#endif
