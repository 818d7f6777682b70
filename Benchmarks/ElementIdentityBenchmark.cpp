// Cost of naming and highlighting elements by GlobalId: the add-on module in the simulated host, called as the page
// calls it, on synthetic models. Every GlobalId costs one accessor and one indexed host search, so the time per
// GlobalId should stay flat as the list and the model grow.

#include "AddOnSession.hpp"
#include "Host.hpp"
#include "HostPage.hpp"
#include "ScenarioRunner.hpp"

#include "JSValues.hpp"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

using Session = AddOnSession;

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
    Session& session = GetAddOnSession();
    const auto modelSize = static_cast<std::size_t>(state.range(0));
    const auto count = static_cast<std::size_t>(state.range(1));
    session.UseModel(modelSize);
    const GS::Ref<JS::Function> function = session.Function(functionName);
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
    GetAddOnSession().host->Quit(true);
    return 0;
}
