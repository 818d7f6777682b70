#ifndef TESTS_ADDON_TRANSFER_JOBTESTFIXTURE_HPP
#define TESTS_ADDON_TRANSFER_JOBTESTFIXTURE_HPP

#include "TransferTestSupport.hpp"

#include "Exchange/ExchangeState.hpp"
#include "PageReports.hpp"
#include "Publishing/PublishState.hpp"
#include "Viewpoints/ViewpointState.hpp"

#include "Server.hpp"
#include "Thread.hpp"
#include "UniString.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// Jobs against the service stand-in on the build's service address. They report to the palette's kind of receiver,
// over states of their own and a page that records the scripts.
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
    const std::shared_ptr<ExchangeState> exchange = std::make_shared<ExchangeState>();
    const std::shared_ptr<ViewpointState> viewpoints = std::make_shared<ViewpointState>();
    const std::shared_ptr<PublishState> publishing = std::make_shared<PublishState>();
    const std::shared_ptr<PageReports> reports = std::make_shared<PageReports>(
        [this](const GS::UniString& script) { page.Record(script); }, exchange, viewpoints, publishing);
    TempFolder storage;
    TempFolder files;
    ServiceStandIn::Server server{storage.Path()};
    unsigned keepRequestsAtStart = 0;
};

#endif
