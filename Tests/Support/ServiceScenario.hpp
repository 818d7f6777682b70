#ifndef TESTS_SUPPORT_SERVICESCENARIO_HPP
#define TESTS_SUPPORT_SERVICESCENARIO_HPP

#include "ScenarioTranscript.hpp"
#include "TempFolder.hpp"

#include "Server.hpp"

#include <gtest/gtest.h>

namespace QuillmarTest {

// A fresh home for the simulated host and the service stand-in on the build's service address, where the add-on
// sends its requests; the stand-in keeps uploads in home/Service. The test program must hold
// RESOURCE_LOCK service_port.
class ServiceScenario : public ::testing::Test {
protected:
    ServiceScenario();
    void SetUp() override;
    void TearDown() override;

    // Host options for the add-on module at modulePath in this test's home.
    HostSim::HostOptions OptionsInHome(const std::string& modulePath) const;

    TempFolder home;
    ServiceStandIn::Server service;
};

} // namespace QuillmarTest

#endif
