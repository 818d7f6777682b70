// Cost of naming and highlighting elements by GlobalId: the add-on module in the simulated host, called as the page
// calls it, on synthetic models of up to 1,000,000 elements. Every GlobalId costs one accessor and one indexed host
// search, so the time per GlobalId should stay flat as the list and the model grow.

#include "AddOnSession.hpp"
#include "Host.hpp"
#include "HostPage.hpp"
#include "ScenarioRunner.hpp"

#include "JSValues.hpp"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

using Session = AddOnSession;

// `count` different GlobalIds of the model, drawn at random: each iteration asks for a list of its own, so no
// iteration finds the previous one's elements warm in the cache.
GS::Ref<JS::Base> RandomGlobalIdList(Session& session, std::size_t count, std::mt19937_64& random) {
    const auto& elements = session.host->GetState().project.elements;
    std::vector<std::size_t> chosen;
    chosen.reserve(count);
    std::unordered_set<std::size_t> taken;
    std::uniform_int_distribution<std::size_t> pick(0, elements.size() - 1);
    while (chosen.size() < count) {
        const std::size_t index = pick(random);
        if (taken.insert(index).second) chosen.push_back(index);
    }
    GS::Ref<JS::Array> list = GS::NewRef<JS::Array>();
    for (const std::size_t index : chosen)
        list->AddItem(GS::NewRef<JS::Value>(elements[index].globalId.c_str()));
    return list;
}

// The call as the page waits for it. With `withNotification`, also the host's selection notification that follows
// a change of selection, handled after the call returned (the simulated host records the new selection in its
// transcript there, which counts too).
void CallWithGlobalIds(benchmark::State& state, const char* functionName, bool withNotification = false) {
    Session& session = GetAddOnSession();
    const auto modelSize = static_cast<std::size_t>(state.range(0));
    const auto count = static_cast<std::size_t>(state.range(1));
    session.UseModel(modelSize);
    const GS::Ref<JS::Function> function = session.Function(functionName);
    std::mt19937_64 random(modelSize * 31 + count);
    GS::Ref<JS::Base> argument;
    GS::Ref<JS::Base> result;
    for (auto _ : state) {
        // Making the list and dropping the last one's values are the page's work, not the call's.
        state.PauseTiming();
        result = GS::Ref<JS::Base>();
        argument = RandomGlobalIdList(session, count, random);
        state.ResumeTiming();
        result = function->Call(argument);
        benchmark::DoNotOptimize(result);
        if (!withNotification) state.PauseTiming();
        session.host->Pump();
        if (!withNotification) state.ResumeTiming();
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
void BM_HighlightElementsAndNotification(benchmark::State& state) {
    CallWithGlobalIds(state, "HighlightElements", true);
}

// {model size, GlobalIds}: the target case (10,000 on 100,000), 10x fewer GlobalIds, and models 10x smaller and
// 10x larger.
#define ELEMENT_ARGS                                                                                                   \
    Args({100000, 10000})                                                                                              \
        ->Args({100000, 1000})                                                                                         \
        ->Args({10000, 1000})                                                                                          \
        ->Args({1000000, 10000})                                                                                       \
        ->Unit(benchmark::kMillisecond)                                                                                \
        ->UseRealTime()

BENCHMARK(BM_GetElementNames)->ELEMENT_ARGS;
BENCHMARK(BM_HighlightElements)->ELEMENT_ARGS;
BENCHMARK(BM_HighlightElementsAndNotification)->Args({100000, 10000})->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    GetAddOnSession().host->Quit(true);
    return 0;
}
