// Loading property mapping files of many "SchemeProperty" elements: parse, walk and merge into the mapping list.
#include "Mapping/MappingFile.hpp"
#include "RunFolder.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

// `count` elements spread over `pairs` distinct entity type and property set pairs, indented as tools write them.
std::filesystem::path WriteMappingFile(const std::filesystem::path& folder, long count, long pairs) {
    const std::filesystem::path path =
        folder / ("mapping-" + std::to_string(count) + "-" + std::to_string(pairs) + ".xml");
    std::ofstream out(path, std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SchemeItemList>\n";
    for (long i = 0; i < count; ++i) {
        const long pair = i % pairs;
        out << "  <SchemeProperty IFCEntityType=\"IfcEntity" << pair << "\" PropertySetName=\"Pset_" << pair
            << "\">\n    <ACPropertyValue PropertyDefinitionGroupName=\"Group\" PropertyDefinitionName=\"Property " << i
            << "\"/>\n    <PropertyDef>\n      <Name>Property" << i
            << "</Name>\n      <PropertyType><TypePropertySingleValue/></PropertyType>\n"
               "      <DataType type=\"IfcLabel\"/>\n    </PropertyDef>\n  </SchemeProperty>\n";
    }
    out << "</SchemeItemList>\n";
    return path;
}

void LoadMappingFile(benchmark::State& state) {
    const long count = state.range(0);
    const long pairs = state.range(1);
    const RunFolder folder("quillmar-mapping-bench");
    const std::filesystem::path path = WriteMappingFile(folder.path, count, pairs);
    const IO::Location file = IO::Location::FromFileSystemPath(path);
    GS::Array<SchemeProperty> list;
    for (auto _ : state) {
        if (!ReadMappingFile(file, list)) state.SkipWithError("not read as a mapping file");
        benchmark::DoNotOptimize(list.GetSize());
    }
    if (list.GetSize() != static_cast<USize>(pairs)) state.SkipWithError("wrong number of entries");
    state.counters["elements/s"] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}

} // namespace

// 10,000 elements: all distinct pairs (every element a new entry), 100 pairs, and one pair (one long entry).
BENCHMARK(LoadMappingFile)
    ->ArgNames({"elements", "pairs"})
    ->Args({1000, 1000})
    ->Args({10000, 10000})
    ->Args({10000, 100})
    ->Args({10000, 1})
    ->Args({40000, 40000})
    ->Args({200000, 200000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
