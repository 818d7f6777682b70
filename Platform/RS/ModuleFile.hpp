#ifndef RS_MODULEFILE_HPP
#define RS_MODULEFILE_HPP

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace RS::Impl {

// Path of the loaded module (shared object or the executable) that holds the address; empty when none does.
std::optional<std::string> FindModuleFile(const void* address);

// Contents of the named section of a 64-bit ELF file of this machine's byte order; empty when the file cannot be
// read, is not such a file, has no such section or a section that reaches past the end of the file.
std::optional<std::vector<std::uint8_t>> ReadElfSection(const std::string& path, const std::string& sectionName);

} // namespace RS::Impl

#endif
