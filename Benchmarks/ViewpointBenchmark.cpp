// Cost of capturing a viewpoint (AddViewpoint) on synthetic models of 10,000 to 300,000 elements: the add-on
// module in the simulated host, called as the page calls it. The capture asks the host's element filter once per
// element and writes one descriptor per exception, so its time per element should stay flat as the model grows.

#include "AddOnSession.hpp"
#include "Host.hpp"
#include "HostPage.hpp"
#include "HostServices.hpp"
#include "OwnService.hpp"
#include "ScenarioRunner.hpp"
#include "Server.hpp"

#include "JSValues.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

struct Session {
    std::filesystem::path home;
    std::unique_ptr<ServiceStandIn::Server> service;
    std::unique_ptr<HostSim::Host> host;
    std::unique_ptr<HostSim::ScenarioRunner> runner;
    std::size_t modelSize = 0;
};

void Play(Session& session, const std::string& line) {
    if (!session.runner->RunLine(line)) throw std::runtime_error("the scenario ended at: " + line);
}

// The add-on captures only after a snapshot was uploaded: one upload to the run's own service stand-in gives it its
// image id.
Session& GetSession() {
    static Session session;
    if (!session.host) {
        // A folder of this run's own: two benchmark runs never share or remove each other's.
        std::string pattern = (std::filesystem::temp_directory_path() / "quillmar-viewpoint-benchmark-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
        session.home = pattern;
        session.service = std::make_unique<ServiceStandIn::Server>(session.home / "Service");
        StartOwnService(*session.service);
        HostSim::HostOptions options;
        options.module = QUILLMAR_ADDON_PATH;
        options.home = session.home;
        session.host = std::make_unique<HostSim::Host>(options);
        session.host->GetTranscript().SetKeepLines(false);
        if (!session.host->Start()) throw std::runtime_error("the add-on did not start");
        session.runner = std::make_unique<HostSim::ScenarioRunner>(*session.host);
        Play(session, R"({"menu": 32500, "item": 1})");
        Play(session, R"({"host": {"window": 4}})");
        Play(session, R"({"call": "ExportSnapshot", "arg": "{\"token\": \"t\", \"projectId\": \"p\"}"})");
        Play(session, R"S({"wait": "InsertViewpoint()", "timeout": 30})S");
    }
    return session;
}

// Every third element hidden and every hundredth selected, so that the viewpoint names a third of the model.
void UseModel(Session& session, std::size_t elements) {
    if (session.modelSize == elements) return;
    Play(session, "{\"host\": {\"syntheticElements\": " + std::to_string(elements) + "}}");
    HostSim::HostServices& services = session.host->GetServices();
    std::vector<API_Guid> shown;
    std::vector<API_Guid> selected;
    const auto& all = services.GetState().project.elements;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (i % 3 != 0) shown.push_back(all[i].guid);
        if (i % 100 == 0) selected.push_back(all[i].guid);
    }
    services.ShowIn3D(shown);
    services.SelectFromHost(selected);
    session.host->Pump();
    session.modelSize = elements;
}

GS::Ref<JS::Function> FindFunction(Session& session, const char* name) {
    return FindPageFunction(*session.host, name);
}

void BM_AddViewpoint(benchmark::State& state) {
    Session& session = GetSession();
    const auto modelSize = static_cast<std::size_t>(state.range(0));
    UseModel(session, modelSize);
    const GS::Ref<JS::Function> function = FindFunction(session, "AddViewpoint");
    std::size_t length = 0;
    for (auto _ : state) {
        GS::Ref<JS::Base> result = function->Call(GS::Ref<JS::Base>());
        const auto text = GS::DynamicCast<JS::Value>(result);
        length = text != nullptr ? text->GetString().GetLength() : 0;
        benchmark::DoNotOptimize(result);
    }
    if (length == 0) state.SkipWithError("AddViewpoint gave no viewpoint");
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(modelSize));
    state.counters["model"] = static_cast<double>(modelSize);
    state.counters["textChars"] = static_cast<double>(length);
}

BENCHMARK(BM_AddViewpoint)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(300000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Session& session = GetSession();
    session.host->Quit(true);
    session.service->Stop();
    std::filesystem::remove_all(session.home);
    return 0;
}
