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

HostSim::HostOptions ServiceScenario::OptionsInHome(const std::string& modulePath) {
    HostSim::HostOptions options;
    options.module = modulePath;
    options.home = home.Path();
    // The steering outlives every host a test makes: hosts live inside a test's body.
    ServiceStandIn::Steering* const steered = &steering;
    options.service.steer = [steered](const nlohmann::json& behaviour) { return steered->Apply(behaviour); };
    options.service.watch = [steered](std::function<void(HostSim::Line)> write) { steered->Watch(std::move(write)); };
    return options;
}

} // namespace QuillmarTest
