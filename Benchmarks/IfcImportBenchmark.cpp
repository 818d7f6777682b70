// Cost of the host's IFC import: opening generated IFC files of about 10 MB and 100 MB through the open operation,
// and merging 100,000 elements into a model by reading and making each inside undo steps. Reading is one pass over
// the file and making an element updates the indexes in place, so time and memory should grow linearly.
// Memory is the process's peak resident size (getrusage), which only ever grows: sizes run smallest first, and the
// growth a benchmark reports is how far its first run raised the peak.

#include "HostServices.hpp"
#include "RunFolder.hpp"
#include "ScriptValues.hpp"

#include "Location.hpp"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Peak resident size of the process so far, in MB.
double PeakRssMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// 22 characters of the IFC GlobalId alphabet, different for every number.
std::string GlobalId(std::uint64_t number, char kind) {
    static constexpr char Digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_$";
    std::string id(22, '0');
    id[0] = kind;
    for (std::size_t i = 21; i > 0 && number != 0; --i, number /= 64)
        id[i] = Digits[number % 64];
    return id;
}

// Writes an IFC2x3 file of about `targetBytes` as a modelling tool exports a storey of walls: per wall a placement
// with its point and axes, an axis polyline and an extruded rectangle as shape, three properties in a property set
// and its relation; containment relations of 1,000 walls each at the end. Returns the number of walls.
std::size_t WriteIfcFile(const std::filesystem::path& file, std::size_t targetBytes) {
    std::ofstream out(file, std::ios::binary);
    out << "ISO-10303-21;\nHEADER;\nFILE_DESCRIPTION(('ViewDefinition [CoordinationView_V2.0]'),'2;1');\n"
           "FILE_NAME('bench.ifc','2026-12-09T10:20:30',('Bench'),('Quillmar'),'gen','gen','');\n"
           "FILE_SCHEMA(('IFC2X3'));\nENDSEC;\nDATA;\n"
           "#1=IFCPERSON($,'Bench',$,$,$,$,$,$);\n#2=IFCORGANIZATION($,'Quillmar',$,$,$);\n"
           "#3=IFCPERSONANDORGANIZATION(#1,#2,$);\n#4=IFCAPPLICATION(#2,'1.0','gen','gen');\n"
           "#5=IFCOWNERHISTORY(#3,#4,$,.ADDED.,$,$,$,1765289130);\n"
           "#6=IFCCARTESIANPOINT((0.,0.,0.));\n#7=IFCDIRECTION((0.,0.,1.));\n#8=IFCDIRECTION((1.,0.,0.));\n"
           "#9=IFCAXIS2PLACEMENT3D(#6,#7,#8);\n"
           "#10=IFCGEOMETRICREPRESENTATIONCONTEXT($,'Model',3,1.E-05,#9,$);\n"
           "#11=IFCSIUNIT(*,.LENGTHUNIT.,$,.METRE.);\n#12=IFCUNITASSIGNMENT((#11));\n"
           "#13=IFCPROJECT('"
        << GlobalId(1, '0')
        << "',#5,'Bench',$,$,$,$,(#10),#12);\n"
           "#14=IFCLOCALPLACEMENT($,#9);\n"
           "#15=IFCBUILDINGSTOREY('"
        << GlobalId(2, '0')
        << "',#5,'Level 1',$,$,#14,$,$,.ELEMENT.,0.);\n"
           "#16=IFCRELAGGREGATES('"
        << GlobalId(3, '0')
        << "',#5,$,$,#13,(#15));\n"
           "#17=IFCCARTESIANPOINT((0.,0.));\n#18=IFCDIRECTION((1.,0.));\n#19=IFCAXIS2PLACEMENT2D(#17,#18);\n";
    std::uint64_t next = 20;
    std::vector<std::uint64_t> walls;
    std::size_t written = 0;
    std::string block;
    while (written < targetBytes) {
        const std::size_t n = walls.size();
        const double x = static_cast<double>(n % 100) * 5.0;
        const double y = static_cast<double>(n / 100 % 100) * 5.0;
        const double z = static_cast<double>(n / 10000) * 3.0;
        const auto ref = [](std::uint64_t number) { return '#' + std::to_string(number); };
        const std::uint64_t point = next, axes = next + 1, placement = next + 2, a1 = next + 3, a2 = next + 4,
                            polyline = next + 5, axisRep = next + 6, profile = next + 7, solid = next + 8,
                            bodyRep = next + 9, shape = next + 10, wall = next + 11, p1 = next + 12, p2 = next + 13,
                            p3 = next + 14, pset = next + 15, rel = next + 16;
        next += 17;
        block.clear();
        block += ref(point) + "=IFCCARTESIANPOINT((" + std::to_string(x) + ',' + std::to_string(y) + ',' +
                 std::to_string(z) + "));\n";
        block += ref(axes) + "=IFCAXIS2PLACEMENT3D(" + ref(point) + ",#7,#8);\n";
        block += ref(placement) + "=IFCLOCALPLACEMENT(#14," + ref(axes) + ");\n";
        block += ref(a1) + "=IFCCARTESIANPOINT((0.,0.));\n" + ref(a2) + "=IFCCARTESIANPOINT((4.,0.));\n";
        block += ref(polyline) + "=IFCPOLYLINE((" + ref(a1) + ',' + ref(a2) + "));\n";
        block += ref(axisRep) + "=IFCSHAPEREPRESENTATION(#10,'Axis','Curve2D',(" + ref(polyline) + "));\n";
        block += ref(profile) + "=IFCRECTANGLEPROFILEDEF(.AREA.,$,#19,4.,0.25);\n";
        block += ref(solid) + "=IFCEXTRUDEDAREASOLID(" + ref(profile) + ",#9,#7,3.);\n";
        block += ref(bodyRep) + "=IFCSHAPEREPRESENTATION(#10,'Body','SweptSolid',(" + ref(solid) + "));\n";
        block += ref(shape) + "=IFCPRODUCTDEFINITIONSHAPE($,$,(" + ref(axisRep) + ',' + ref(bodyRep) + "));\n";
        block += ref(wall) + "=IFCWALLSTANDARDCASE('" + GlobalId(wall, '1') + "',#5,'Wall " + std::to_string(n + 1) +
                 "','Basic Wall:Generic 250mm',$," + ref(placement) + ',' + ref(shape) + ",'W-" +
                 std::to_string(n + 1) + "');\n";
        block += ref(p1) + "=IFCPROPERTYSINGLEVALUE('Reference',$,IFCIDENTIFIER('Generic 250mm'),$);\n";
        block +=
            ref(p2) + "=IFCPROPERTYSINGLEVALUE('IsExternal',$,IFCBOOLEAN(." + (n % 2 == 0 ? "T" : "F") + ".),$);\n";
        block += ref(p3) + "=IFCPROPERTYSINGLEVALUE('FireRating',$,IFCLABEL('EI 90'),$);\n";
        block += ref(pset) + "=IFCPROPERTYSET('" + GlobalId(pset, '2') + "',#5,'Pset_WallCommon',$,(" + ref(p1) + ',' +
                 ref(p2) + ',' + ref(p3) + "));\n";
        block += ref(rel) + "=IFCRELDEFINESBYPROPERTIES('" + GlobalId(rel, '3') + "',#5,$,$,(" + ref(wall) + ")," +
                 ref(pset) + ");\n";
        out << block;
        written += block.size();
        walls.push_back(wall);
    }
    for (std::size_t first = 0; first < walls.size(); first += 1000) {
        std::string list;
        for (std::size_t i = first; i < std::min(first + 1000, walls.size()); ++i)
            list += (i == first ? "#" : ",#") + std::to_string(walls[i]);
        out << '#' << next << "=IFCRELCONTAINEDINSPATIALSTRUCTURE('" << GlobalId(next, '4') << "',#5,$,$,(" << list
            << "),#15);\n";
        ++next;
    }
    out << "ENDSEC;\nEND-ISO-10303-21;\n";
    if (!out) throw std::runtime_error("the benchmark file could not be written");
    return walls.size();
}

struct Bench {
    RunFolder folder{"IfcImportBenchmark"};
    std::shared_ptr<HostSim::Transcript> transcript = std::make_shared<HostSim::Transcript>();
    HostSim::HostServices services{transcript, std::make_shared<HostSim::MainThread>()};
    API_HostFunctionTable table{};
    std::map<std::size_t, std::filesystem::path> files; // by size in MB

    Bench() {
        if (!services.Activate()) throw std::runtime_error("the host's services did not start");
        table = services.MakeTable();
        services.SetTokenPhase(HostSim::HostServices::TokenPhase::Issued);
    }
    void* Token() { return services.GetHostToken(); }

    const std::filesystem::path& File(std::size_t megabytes) {
        auto it = files.find(megabytes);
        if (it == files.end()) {
            const std::filesystem::path file = folder.path / ("model-" + std::to_string(megabytes) + "MB.ifc");
            WriteIfcFile(file, megabytes * 1000 * 1000);
            it = files.emplace(megabytes, file).first;
        }
        return it->second;
    }
};

Bench& GetBench() {
    static Bench bench;
    return bench;
}

void BM_OpenIfcFile(benchmark::State& state) {
    Bench& bench = GetBench();
    const std::filesystem::path& file = bench.File(static_cast<std::size_t>(state.range(0)));
    IO::Location location(HostSim::ToUniString(file.string()));
    API_FileOpenPars params;
    params.fileTypeID = APIFType_IfcFile;
    params.file = &location;
    const double peakBefore = PeakRssMB();
    for (auto _ : state) {
        state.PauseTiming();
        bench.services.GetState().project = HostSim::ProjectDescription{}; // only the new model counts
        state.ResumeTiming();
        if (bench.table.openProject(bench.Token(), &params) != NoError) {
            state.SkipWithError("the file did not open");
            return;
        }
    }
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(file));
    state.SetBytesProcessed(bytes * state.iterations());
    state.counters["elements"] = static_cast<double>(bench.services.GetState().project.elements.size());
    state.counters["fileMB"] = static_cast<double>(bytes) / 1e6;
    state.counters["peakRssMB"] = PeakRssMB();
    state.counters["peakGrowthMB"] = PeakRssMB() - peakBefore;
}
BENCHMARK(BM_OpenIfcFile)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

struct MergeContext {
    API_HostFunctionTable* table;
    void* token;
    const std::vector<API_Guid>* guids;
    std::size_t first;
    std::size_t last;
};

GSErrCode MergeSome(void* data) {
    auto& context = *static_cast<MergeContext*>(data);
    for (std::size_t i = context.first; i < context.last; ++i) {
        API_Element record;
        record.header.guid = (*context.guids)[i];
        if (const GSErrCode got = context.table->getElement(context.token, &record); got != NoError) return got;
        if (const GSErrCode made = context.table->createElement(context.token, &record); made != NoError) return made;
    }
    return NoError;
}

// Merges 100,000 elements into a model of 100,000, `range(0)` elements per undo step.
void BM_Merge100k(benchmark::State& state) {
    constexpr std::size_t Count = 100000;
    Bench& bench = GetBench();
    const auto perStep = static_cast<std::size_t>(state.range(0));
    const GS::UniString undoName("Merge");
    const double peakBefore = PeakRssMB();
    for (auto _ : state) {
        state.PauseTiming();
        bench.services.GetState().project = HostSim::MakeSyntheticProject(Count);
        std::vector<API_Guid> guids;
        for (const HostSim::ProjectElement& element : bench.services.GetState().project.elements)
            guids.push_back(element.guid);
        state.ResumeTiming();
        for (std::size_t first = 0; first < Count; first += perStep) {
            MergeContext context{&bench.table, bench.Token(), &guids, first, std::min(first + perStep, Count)};
            if (bench.table.undoableCommand(bench.Token(), &undoName, &MergeSome, &context) != NoError) {
                state.SkipWithError("the merge failed");
                return;
            }
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(Count) * state.iterations());
    state.counters["peakRssMB"] = PeakRssMB();
    state.counters["peakGrowthMB"] = PeakRssMB() - peakBefore;
}
BENCHMARK(BM_Merge100k)->Arg(100000)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
