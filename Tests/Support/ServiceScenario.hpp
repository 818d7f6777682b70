#ifndef TESTS_SUPPORT_SERVICESCENARIO_HPP
#define TESTS_SUPPORT_SERVICESCENARIO_HPP

#include "ScenarioTranscript.hpp"
#include "TempFolder.hpp"

#include "Server.hpp"
#include "Steering.hpp"

#include <gtest/gtest.h>

namespace QuillmarTest {

// A fresh home for the simulated host and the service stand-in on the build's service address, where the add-on
// sends its requests; the stand-in keeps uploads in home/Service. The host of OptionsInHome has the stand-in:
// "service" lines steer it and its requests are transcript lines. The test program must hold
// RESOURCE_LOCK service_port.
class ServiceScenario : public ::testing::Test {
protected:
    ServiceScenario();
    void SetUp() override;
    void TearDown() override;

    // Host options for the add-on module at modulePath in this test's home.
    HostSim::HostOptions OptionsInHome(const std::string& modulePath);

    TempFolder home;
    ServiceStandIn::Server service;
    ServiceStandIn::Steering steering{service};
};

} // namespace QuillmarTest

#endif
