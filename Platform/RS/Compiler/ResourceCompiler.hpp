#ifndef RS_COMPILER_RESOURCECOMPILER_HPP
#define RS_COMPILER_RESOURCECOMPILER_HPP

// Turns the resource text files (JSON) into a resource image and the C++ source that embeds it in a module.
// Everything a resource file may say is checked here, so a mistake fails the build and not the add-on at run time.

#include "ResourceImage.hpp"

#include <cstdint>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace RS::Compiler {

// A mistake in an input; the message names the file and, where there is one, the place in it.
class CompileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Resource ids by name, as the id header defines them.
using IdTable = std::map<std::string, std::int32_t>;

// Reads the `#define NAME value` lines of a header; value is a decimal number or a name defined before. Lines
// without a value (include guards) and all other lines are skipped; any other value is a CompileError.
IdTable ReadIdHeader(const std::filesystem::path& header);

struct Compilation {
    Image::Contents contents;
    std::vector<std::filesystem::path> dependencies; // the inputs and every image they name
};

// Reads and checks the resource files, in order. Ids may be numbers or names of `ids`. Throws CompileError for
// malformed JSON, unknown or missing keys, values of the wrong type or range, duplicate ids of one resource type,
// unreadable or invalid PNG files, images whose size differs from the declared one, and items outside their dialog.
Compilation Compile(const std::vector<std::filesystem::path>& inputs, const IdTable& ids);

// The C++ source holding the image as an array in the section RS::Image::SectionName.
std::string GenerateSource(const std::vector<std::uint8_t>& image, const std::vector<std::filesystem::path>& inputs);

// A make-style dependency file: the output depends on every path given.
std::string GenerateDepfile(const std::filesystem::path& output,
                            const std::vector<std::filesystem::path>& dependencies);

} // namespace RS::Compiler

#endif
