// The snapshot picture a viewpoint embeds: a PNG file read and written as a "data:image/png;base64," text of the
// host's string class. Throughput is counted in bytes of the file.

#include "RunFolder.hpp"
#include "Viewpoints/ViewpointCapture.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A folder of the run's own, removed at exit.
const std::filesystem::path& Folder() {
    static const RunFolder folder("quillmar-base64");
    return folder.path;
}

// Random bytes, as compressed picture data is.
std::filesystem::path WritePicture(std::size_t bytes) {
    const std::filesystem::path path = Folder() / (std::to_string(bytes) + ".png");
    std::vector<char> data(bytes);
    std::mt19937_64 random(bytes);
    for (char& byte : data)
        byte = static_cast<char>(random());
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
    return path;
}

void BM_EncodeSnapshotFile(benchmark::State& state) {
    const auto bytes = static_cast<std::size_t>(state.range(0)) << 20;
    const GS::UniString path(WritePicture(bytes).string().c_str());
    for (auto _ : state) {
        GS::UniString text = EncodeSnapshotFile(path);
        if (text.IsEmpty()) state.SkipWithError("the file was not encoded");
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}

// MiB of picture: a window-sized snapshot, and a large one.
BENCHMARK(BM_EncodeSnapshotFile)->Arg(4)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
