// The resource compiler: resource text files in, a C++ source embedding their image out.
//   ResourceCompiler [--ids <header>] --output <file.cpp> [--depfile <file.d>] <resource.json>...
// Exit code 0 on success, 1 for a mistake in the inputs (message on stderr), 2 for bad arguments or output trouble.

#include "ResourceCompiler.hpp"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string_view>

namespace {

namespace fs = std::filesystem;

// Written beside the target and renamed, so that an interrupted build never leaves half a file behind.
void WriteFileAtomically(const fs::path& path, const std::string& text) {
    const fs::path temporary = path.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) throw std::runtime_error("cannot write " + temporary.string());
    }
    fs::rename(temporary, path);
}

int Usage() {
    std::cerr
        << "usage: ResourceCompiler [--ids <header>] --output <file.cpp> [--depfile <file.d>] <resource.json>...\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    fs::path ids;
    fs::path output;
    fs::path depfile;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--ids" && hasValue) {
            ids = argv[++i];
        } else if (arg == "--output" && hasValue) {
            output = argv[++i];
        } else if (arg == "--depfile" && hasValue) {
            depfile = argv[++i];
        } else if (arg.starts_with("--")) {
            return Usage();
        } else {
            inputs.emplace_back(arg);
        }
    }
    if (output.empty() || inputs.empty()) return Usage();

    try {
        const RS::Compiler::IdTable table = ids.empty() ? RS::Compiler::IdTable{} : RS::Compiler::ReadIdHeader(ids);
        RS::Compiler::Compilation compilation = RS::Compiler::Compile(inputs, table);
        if (!ids.empty()) compilation.dependencies.push_back(fs::absolute(ids).lexically_normal());
        const std::vector<std::uint8_t> image = RS::Image::Write(compilation.contents);
        WriteFileAtomically(output, RS::Compiler::GenerateSource(image, inputs));
        if (!depfile.empty())
            WriteFileAtomically(depfile, RS::Compiler::GenerateDepfile(output, compilation.dependencies));
    } catch (const RS::Compiler::CompileError& error) {
        std::cerr << error.what() << "\n";
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "ResourceCompiler: error: " << error.what() << "\n";
        return 2;
    }
    return 0;
}
