#include "ModuleFile.hpp"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <fstream>

namespace RS::Impl {

namespace {

class ElfFile {
public:
    explicit ElfFile(const std::string& path) : in(path, std::ios::binary) {
        in.seekg(0, std::ios::end);
        size = in ? static_cast<std::uint64_t>(in.tellg()) : 0;
    }

    template <typename T>
    bool ReadAt(std::uint64_t offset, T* out) {
        return ReadBytesAt(offset, sizeof(T), reinterpret_cast<char*>(out));
    }

    bool Holds(std::uint64_t offset, std::uint64_t count) const { return offset <= size && count <= size - offset; }

    bool ReadBytesAt(std::uint64_t offset, std::uint64_t count, char* out) {
        if (!in || !Holds(offset, count)) return false;
        in.seekg(static_cast<std::streamoff>(offset));
        in.read(out, static_cast<std::streamsize>(count));
        return static_cast<bool>(in);
    }

    std::uint64_t Size() const { return size; }

private:
    std::ifstream in;
    std::uint64_t size = 0;
};

constexpr unsigned char NativeData = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB;

} // namespace

std::optional<std::string> FindModuleFile(const void* address) {
    if (address == nullptr) return std::nullopt;
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 || map == nullptr)
        return std::nullopt;
    // The executable's link map has an empty name; its file is reached through the process.
    if (map->l_name == nullptr || map->l_name[0] == '\0') return std::string("/proc/self/exe");
    return std::string(map->l_name);
}

std::optional<std::vector<std::uint8_t>> ReadElfSection(const std::string& path, const std::string& sectionName) {
    ElfFile file(path);
    Elf64_Ehdr header{};
    if (!file.ReadAt(0, &header)) return std::nullopt;
    if (header.e_ident[EI_MAG0] != ELFMAG0 || header.e_ident[EI_MAG1] != ELFMAG1 ||
        header.e_ident[EI_MAG2] != ELFMAG2 || header.e_ident[EI_MAG3] != ELFMAG3 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != NativeData)
        return std::nullopt;
    if (header.e_shoff == 0 || header.e_shentsize != sizeof(Elf64_Shdr)) return std::nullopt;

    // Files with very many sections keep the count and the name table's index in section 0.
    Elf64_Shdr first{};
    if (!file.ReadAt(header.e_shoff, &first)) return std::nullopt;
    const std::uint64_t count = header.e_shnum != 0 ? header.e_shnum : first.sh_size;
    const std::uint64_t namesIndex = header.e_shstrndx != SHN_XINDEX ? header.e_shstrndx : first.sh_link;
    if (count == 0 || namesIndex >= count || count > file.Size() / sizeof(Elf64_Shdr)) return std::nullopt;

    auto sectionHeader = [&](std::uint64_t index, Elf64_Shdr* out) {
        return file.ReadAt(header.e_shoff + index * sizeof(Elf64_Shdr), out);
    };
    Elf64_Shdr names{};
    if (!sectionHeader(namesIndex, &names) || names.sh_type != SHT_STRTAB) return std::nullopt;
    if (!file.Holds(names.sh_offset, names.sh_size)) return std::nullopt;
    std::string nameTable(names.sh_size, '\0');
    if (!file.ReadBytesAt(names.sh_offset, names.sh_size, nameTable.data())) return std::nullopt;

    for (std::uint64_t index = 1; index < count; ++index) {
        Elf64_Shdr section{};
        if (!sectionHeader(index, &section)) return std::nullopt;
        if (section.sh_name >= nameTable.size()) continue;
        if (nameTable.compare(section.sh_name, sectionName.size() + 1, sectionName.c_str(), sectionName.size() + 1) !=
            0)
            continue;
        if (section.sh_type != SHT_PROGBITS || !file.Holds(section.sh_offset, section.sh_size)) return std::nullopt;
        std::vector<std::uint8_t> bytes(section.sh_size);
        if (!file.ReadBytesAt(section.sh_offset, section.sh_size, reinterpret_cast<char*>(bytes.data())))
            return std::nullopt;
        return bytes;
    }
    return std::nullopt;
}

} // namespace RS::Impl
