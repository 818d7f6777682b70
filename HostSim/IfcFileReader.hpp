#ifndef HOSTSIM_IFCFILEREADER_HPP
#define HOSTSIM_IFCFILEREADER_HPP

#include <array>
#include <cstddef>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace HostSim {

// A building element of an IFC file: an IfcProduct that the spatial structure contains.
struct IfcFileElement {
    std::string globalId;   // the element's IFC GlobalId (22 characters), as written
    std::string name;       // its Name, decoded to UTF-8; empty when unset
    std::string entityType; // its entity, in the file's spelling (usually upper case, "IFCWALL")
    // Where its placement puts its origin, in the project's coordinates; none when the file gives no placement.
    std::optional<std::array<double, 3>> location;
};

struct IfcFileContent {
    std::string schema;                   // the first schema of FILE_SCHEMA ("IFC4", "IFC2X3")
    std::vector<IfcFileElement> elements; // in the order the containment relations list them, each once
};

// Reads an ISO 10303-21 file (IFC2x3, IFC4) as a stream, in one pass and in memory linear in what it keeps: points,
// directions, placements, containment relations and the first attributes of rooted entities; every other instance is
// skipped without being tokenised. Line breaks, comments, string escapes (\X\, \X2\, \X4\, \S\, '') and entity order
// are those of any exporter. Empty with `error` set when the text is not such a file.
std::optional<IfcFileContent> ReadIfcFile(std::istream& in, std::string* error);
std::optional<IfcFileContent> ReadIfcFile(const std::filesystem::path& file, std::string* error);

// The text of a STEP string literal's content (between the quotes, escapes still in), decoded to UTF-8.
std::string DecodeStepString(const std::string& literal);

} // namespace HostSim

#endif
