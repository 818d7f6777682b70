// Cost of a 2D plan of each kind on synthetic models: the add-on module in the simulated host, Create2dPlan called
// as the page calls it. The time includes the host drawing and writing the file (the DWG through the translator
// stand-in, which writes DXF), which is what the user waits for.

#include "AddOnSession.hpp"
#include "Host.hpp"
#include "HostPage.hpp"
#include "ScenarioRunner.hpp"

#include "JSValues.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

namespace {

using Session = AddOnSession;

void BM_Create2dPlan(benchmark::State& state) {
    Session& session = GetAddOnSession();
    const auto kind = static_cast<Int32>(state.range(0));
    const auto modelSize = static_cast<std::size_t>(state.range(1));
    session.UseModel(modelSize);
    const GS::Ref<JS::Function> create = session.Function("Create2dPlan");
    const GS::Ref<JS::Base> argument = GS::NewRef<JS::Value>(kind);
    std::uintmax_t fileSize = 0;
    for (auto _ : state) {
        const GS::Ref<JS::Value> result = GS::DynamicCast<JS::Value>(create->Call(argument));
        state.PauseTiming();
        const std::filesystem::path file = result != nullptr ? result->GetString().ToCStr(CC_UTF8).Get() : "";
        std::error_code error;
        fileSize = std::filesystem::file_size(file, error);
        if (error) {
            state.SkipWithError("no plan file was written");
            break;
        }
        // The next plan of the same second would otherwise look for a free name among all the earlier ones.
        std::filesystem::remove(file, error);
        state.ResumeTiming();
    }
    state.counters["elements"] = static_cast<double>(modelSize);
    state.counters["fileMB"] = static_cast<double>(fileSize) / 1e6;
}

// {kind (1 DWG, 2 PNG, 3 JPG, 4 PDF), model size}
BENCHMARK(BM_Create2dPlan)
    ->ArgsProduct({{1, 2, 3, 4}, {10000, 100000}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    GetAddOnSession().host->Quit(true);
    return 0;
}
