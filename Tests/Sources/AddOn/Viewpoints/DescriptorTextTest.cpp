// The descriptor and snapshot texts are written straight into their buffers. These tests hold them to what the
// JSON library and a whole-file Base64 encode give for the same input, so the page receives the same bytes.

#include "Viewpoints/ElementIdentity.hpp"
#include "Viewpoints/ViewpointCapture.hpp"

#include "TempFolder.hpp"

#include "CharCodeConversion.hpp"
#include "UniString.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <openssl/evp.h>

#include <random>
#include <string>
#include <vector>

namespace {

// The descriptor as the host's JSON object and writer make it: both texts through 8-bit text in the default
// character set, each escaped by the JSON library.
std::u16string ReferenceDescriptor(const GS::UniString& globalId, const GS::UniString& name) {
    const auto literal = [](const GS::UniString& text) {
        const std::string bytes = text.ToCStr(CC_Default).Get();
        const std::string utf8 = GS::EncodeText(GS::DecodeText(bytes, CC_Default), CC_UTF8);
        return nlohmann::json(utf8).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    };
    const std::string text =
        "{\"ifcGuid\":" + literal(globalId) + ",\"name\":" + literal(name.IsEmpty() ? globalId : name) + "}";
    return GS::DecodeText(text, CC_UTF8);
}

// Texts that exercise every escaping rule: quotes, backslashes, every control character, DEL, non-ASCII of the
// BMP, surrogate pairs and lone surrogates of both kinds, NUL.
GS::UniString RandomText(std::mt19937& random, std::size_t maxLength) {
    static const std::vector<char16_t> special = {u'"',   u'\\',  u'/',   0x7F,   0xE9,   0x4E2D, 0xFFFD,
                                                  0xFEFF, 0xD83D, 0xDE00, 0xDBFF, 0xDC00, 0x0000, 0x2028};
    std::uniform_int_distribution<std::size_t> length(0, maxLength);
    std::uniform_int_distribution<int> kind(0, 9);
    std::u16string text;
    const std::size_t n = length(random);
    for (std::size_t i = 0; i < n; ++i) {
        switch (kind(random)) {
        case 0:
            text += static_cast<char16_t>(std::uniform_int_distribution<int>(0, 0x1F)(random));
            break;
        case 1:
        case 2:
            text += special[std::uniform_int_distribution<std::size_t>(0, special.size() - 1)(random)];
            break;
        case 3:
            text += u"\U0001F600"; // a pair
            break;
        default:
            text += static_cast<char16_t>(std::uniform_int_distribution<int>(0x20, 0x7E)(random));
            break;
        }
    }
    return GS::UniString(std::move(text));
}

TEST(ElementDescriptorText, MatchesTheJsonLibraryOnRandomTexts) {
    std::mt19937 random(20261209);
    for (int i = 0; i < 5000; ++i) {
        const GS::UniString globalId = RandomText(random, 30);
        // Every fifth name empty: the GlobalId stands in for it.
        const GS::UniString name = i % 5 == 0 ? GS::UniString() : RandomText(random, 30);
        const GS::UniString made = MakeElementDescriptor(globalId, name);
        ASSERT_EQ(made.ToU16String(), ReferenceDescriptor(globalId, name)) << "case " << i;
    }
}

TEST(ElementDescriptorText, ListsAppendEachDescriptorWhole) {
    std::mt19937 random(7);
    std::u16string list;
    std::u16string expected;
    for (int i = 0; i < 50; ++i) {
        const GS::UniString globalId = RandomText(random, 22);
        const GS::UniString name = RandomText(random, 10);
        AppendElementDescriptor(list, globalId, name);
        expected += ReferenceDescriptor(globalId, name);
    }
    EXPECT_EQ(list, expected);
}

std::u16string ReferenceSnapshotText(const std::string& bytes) {
    std::string encoded(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int written =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    encoded.resize(static_cast<std::size_t>(written));
    return GS::DecodeText("data:image/png;base64," + encoded, CC_UTF8);
}

TEST(SnapshotText, MatchesAWholeFileEncodeAtEverySizeAroundTheChunks) {
    const QuillmarTest::TempFolder folder;
    const std::size_t chunk = 3 * 64 * 1024;
    std::mt19937 random(3);
    std::vector<std::size_t> sizes = {1, 2, 3, 4, chunk - 1, chunk, chunk + 1, 2 * chunk + 2, 3 * chunk};
    for (int i = 0; i < 4; ++i)
        sizes.push_back(std::uniform_int_distribution<std::size_t>(5, 4 * chunk)(random));
    for (const std::size_t size : sizes) {
        std::string bytes(size, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random());
        const std::filesystem::path file = folder / ("snapshot-" + std::to_string(size) + ".png");
        QuillmarTest::WriteFile(file, bytes);
        const GS::UniString text = EncodeSnapshotFile(GS::UniString(file.string().c_str()));
        ASSERT_EQ(text.ToU16String(), ReferenceSnapshotText(bytes)) << size << " bytes";
    }
}

TEST(SnapshotText, EmptyOrMissingFileGivesNoText) {
    const QuillmarTest::TempFolder folder;
    QuillmarTest::WriteFile(folder / "empty.png", "");
    EXPECT_TRUE(EncodeSnapshotFile(GS::UniString((folder / "empty.png").string().c_str())).IsEmpty());
    EXPECT_TRUE(EncodeSnapshotFile(GS::UniString((folder / "missing.png").string().c_str())).IsEmpty());
}

} // namespace
