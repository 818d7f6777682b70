#ifndef RS_RESOURCEIMAGE_HPP
#define RS_RESOURCEIMAGE_HPP

// The binary resource image a module carries in its ELF section ".gsres". Written by the resource compiler at build
// time, read by the RS library at run time; both use this one definition. Texts are UTF-8 here; the RS library
// turns them into GS::UniString. Standard library only, so the build-time compiler needs nothing of the host.
//
// Layout, all numbers little-endian:
//   header     'GSRS' magic, format version, image size in bytes, resource count      (4 x UInt32)
//   directory  per resource: type code, id, offset from the image start, payload size  (4 x UInt32)
//   payloads   per type, see ResourceImage.cpp
// A reader refuses anything that does not match exactly: the image comes from a file on disk.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace RS::Image {

constexpr std::uint32_t FourCharCode(const char (&code)[5]) noexcept {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

constexpr const char* SectionName = ".gsres";
constexpr std::uint32_t Magic = 0x53525347; // the bytes "GSRS" at the start of the image
constexpr std::uint32_t FormatVersion = 2;

constexpr std::uint32_t StringListType = FourCharCode("STR#");
constexpr std::uint32_t DialogType = FourCharCode("GDLG");
constexpr std::uint32_t IconType = FourCharCode("GICN");
constexpr std::uint32_t AddOnIdentificationType = FourCharCode("MDID");

// Dialog and item kinds as stored; the RS library's public enums carry the same values.
enum class DialogKind : std::uint32_t { Palette = 1, Modal = 2 };
enum class ItemKind : std::uint32_t { Browser = 1, Button = 2, LeftText = 3, TextEdit = 4, SingleSelListBox = 5 };

struct Rect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct StringList {
    std::int32_t id = 0;
    std::vector<std::string> strings;
    friend bool operator==(const StringList&, const StringList&) = default;
};

struct DialogItem {
    ItemKind kind = ItemKind::Browser;
    Rect rect;
    std::string name;
    std::string text;
    std::uint32_t lengthLimit = 0; // text edits: the most characters the user can type; 0 for no limit
    friend bool operator==(const DialogItem&, const DialogItem&) = default;
};

struct Dialog {
    std::int32_t id = 0;
    DialogKind kind = DialogKind::Palette;
    std::string title;
    Rect rect;
    // The name record: the dialog's internal name and the name shown to the user.
    std::string name;
    std::string displayName;
    std::vector<DialogItem> items; // item 1 first
    friend bool operator==(const Dialog&, const Dialog&) = default;
};

struct IconImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t dpi = 0;
    std::vector<std::uint8_t> png; // the PNG file's bytes
    friend bool operator==(const IconImage&, const IconImage&) = default;
};

struct Icon {
    std::int32_t id = 0;
    std::vector<IconImage> images;
    friend bool operator==(const Icon&, const Icon&) = default;
};

struct AddOnIdentification {
    std::int32_t id = 0;
    std::uint32_t developerId = 0;
    std::uint32_t localId = 0;
    friend bool operator==(const AddOnIdentification&, const AddOnIdentification&) = default;
};

struct Contents {
    std::vector<StringList> stringLists;
    std::vector<Dialog> dialogs;
    std::vector<Icon> icons;
    std::vector<AddOnIdentification> identifications;
    friend bool operator==(const Contents&, const Contents&) = default;
};

// Serialises the contents, resources of each type in the given order. The caller ensures ids are unique per type.
std::vector<std::uint8_t> Write(const Contents& contents);

// Parses an image; trailing bytes after the image size (section padding) are ignored. Empty on any malformation:
// bad magic or version, entries or counts that reach past the image, unknown types, duplicate ids, bad enums.
std::optional<Contents> Read(std::span<const std::uint8_t> bytes);

} // namespace RS::Image

#endif
