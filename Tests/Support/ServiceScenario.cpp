#include "ServiceScenario.hpp"

#include "ServiceAddress.hpp"

namespace QuillmarTest {

ServiceScenario::ServiceScenario() : service(home / "Service") {}

void ServiceScenario::SetUp() {
    ASSERT_TRUE(service.Start(ServiceHost, ServicePort))
        << "the build's service address " << ServiceHost << ":" << ServicePort << " is taken";
}

void ServiceScenario::TearDown() {
    service.Stop();
}

HostSim::HostOptions ServiceScenario::OptionsInHome(const std::string& modulePath) const {
    HostSim::HostOptions options;
    options.module = modulePath;
    options.home = home.Path();
    return options;
}

} // namespace QuillmarTest
