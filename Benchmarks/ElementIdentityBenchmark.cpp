// Cost of naming and highlighting elements by GlobalId: the add-on module in the simulated host, called as the page
// calls it, on synthetic models. Every GlobalId costs one accessor and one indexed host search, so the time per
// GlobalId should stay flat as the list and the model grow.

#include "Host.hpp"
#include "HostPage.hpp"
#include "PageFunction.hpp"
#include "ScenarioRunner.hpp"

#include "JSValues.hpp"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

struct Session {
    std::unique_ptr<HostSim::Host> host;
    std::unique_ptr<HostSim::ScenarioRunner> runner;
    std::size_t modelSize = 0;
};

Session& GetSession() {
    static Session session;
    if (!session.host) {
        HostSim::HostOptions options;
        options.module = QUILLMAR_ADDON_PATH;
        session.host = std::make_unique<HostSim::Host>(options);
        if (!session.host->Start()) throw std::runtime_error("the add-on did not start");
        session.runner = std::make_unique<HostSim::ScenarioRunner>(*session.host);
        session.runner->RunLine(R"({"menu": 32500, "item": 1})");
    }
    return session;
}

void UseModel(Session& session, std::size_t elements) {
    if (session.modelSize == elements) return;
    session.runner->RunLine("{\"host\": {\"syntheticElements\": " + std::to_string(elements) + "}}");
    session.modelSize = elements;
}

GS::Ref<JS::Function> FindFunction(Session& session, const char* name) {
    return FindPageFunction(*session.host, name);
}

// `count` GlobalIds of the model, spread over it, plus none unknown.
GS::Ref<JS::Base> GlobalIdList(Session& session, std::size_t count) {
    const auto& elements = session.host->GetState().project.elements;
    GS::Ref<JS::Array> list = GS::NewRef<JS::Array>();
    const std::size_t step = elements.size() / count;
    for (std::size_t i = 0; i < count; ++i)
        list->AddItem(GS::NewRef<JS::Value>(elements[i * step].globalId.c_str()));
    return list;
}

void CallWithGlobalIds(benchmark::State& state, const char* functionName) {
    Session& session = GetSession();
    const auto modelSize = static_cast<std::size_t>(state.range(0));
    const auto count = static_cast<std::size_t>(state.range(1));
    UseModel(session, modelSize);
    const GS::Ref<JS::Function> function = FindFunction(session, functionName);
    const GS::Ref<JS::Base> argument = GlobalIdList(session, count);
    for (auto _ : state) {
        GS::Ref<JS::Base> result = function->Call(argument);
        benchmark::DoNotOptimize(result);
        session.host->Pump(); // the host's selection notifications, as after a real call
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(count));
    state.counters["model"] = static_cast<double>(modelSize);
}

void BM_GetElementNames(benchmark::State& state) {
    CallWithGlobalIds(state, "GetElementNames");
}
void BM_HighlightElements(benchmark::State& state) {
    CallWithGlobalIds(state, "HighlightElements");
}

// {model size, GlobalIds}: 10x fewer GlobalIds on the same model, and the same list on a 10x smaller model.
#define ELEMENT_ARGS                                                                                                   \
    Args({100000, 10000})->Args({100000, 1000})->Args({10000, 1000})->Unit(benchmark::kMillisecond)->UseRealTime()

BENCHMARK(BM_GetElementNames)->ELEMENT_ARGS;
BENCHMARK(BM_HighlightElements)->ELEMENT_ARGS;

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    GetSession().host->Quit(true);
    return 0;
}
