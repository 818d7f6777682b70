#include "ResourceImage.hpp"

#include <gtest/gtest.h>

namespace {

using namespace RS::Image;

Contents Sample() {
    Contents contents;
    contents.stringLists.push_back({7, {"a", "", "Grüße"}});
    contents.stringLists.push_back({8, {}});
    Dialog dialog;
    dialog.id = 7; // the same id as a string list: ids are unique per type only
    dialog.kind = DialogKind::Modal;
    dialog.title = "Title";
    dialog.rect = {40, 41, 300, 200};
    dialog.name = "DLG_7";
    dialog.displayName = "Seven";
    dialog.items.push_back({ItemKind::Button, {1, 2, 3, 4}, "", "OK"});
    dialog.items.push_back({ItemKind::SingleSelListBox, {5, 6, 7, 8}, "List", ""});
    dialog.items.push_back({ItemKind::TextEdit, {9, 10, 11, 12}, "Name", "", 255});
    contents.dialogs.push_back(dialog);
    contents.icons.push_back({9, {{2, 1, 96, {1, 2, 3}}, {4, 2, 192, {}}}});
    contents.identifications.push_back({7, 0xFFFFFFFFu, 0});
    return contents;
}

void PutU32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Directory entry i: type at 16 + 16 i, then id, offset, size.
constexpr std::size_t EntryField(std::size_t entry, std::size_t field) {
    return 16 + 16 * entry + 4 * field;
}

TEST(ResourceImage, RoundTripKeepsEveryField) {
    const Contents contents = Sample();
    const auto image = Write(contents);
    const auto read = Read(image);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, contents);
}

TEST(ResourceImage, EmptyContentsRoundTrip) {
    const auto image = Write(Contents{});
    EXPECT_EQ(image.size(), 16u);
    const auto read = Read(image);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, Contents{});
}

TEST(ResourceImage, SectionPaddingAfterTheImageIsIgnored) {
    auto image = Write(Sample());
    image.resize(image.size() + 7, 0);
    ASSERT_TRUE(Read(image).has_value());
}

TEST(ResourceImage, EveryTruncationIsRefused) {
    const auto image = Write(Sample());
    for (std::size_t size = 0; size < image.size(); ++size)
        EXPECT_FALSE(Read(std::span(image).first(size)).has_value()) << "prefix of " << size << " bytes";
}

TEST(ResourceImage, ForeignOrNewerImagesAreRefused) {
    auto badMagic = Write(Sample());
    badMagic[0] ^= 0xFF;
    EXPECT_FALSE(Read(badMagic).has_value());

    auto newer = Write(Sample());
    PutU32(newer, 4, FormatVersion + 1);
    EXPECT_FALSE(Read(newer).has_value());
}

TEST(ResourceImage, DirectoryMistakesAreRefused) {
    const auto good = Write(Sample());

    auto offsetPastEnd = good;
    PutU32(offsetPastEnd, EntryField(0, 2), static_cast<std::uint32_t>(good.size()) + 1);
    EXPECT_FALSE(Read(offsetPastEnd).has_value());

    auto offsetIntoDirectory = good;
    PutU32(offsetIntoDirectory, EntryField(0, 2), 16);
    EXPECT_FALSE(Read(offsetIntoDirectory).has_value());

    auto sizePastEnd = good;
    PutU32(sizePastEnd, EntryField(0, 3), 0xFFFFFFF0u);
    EXPECT_FALSE(Read(sizePastEnd).has_value());

    auto unknownType = good;
    PutU32(unknownType, EntryField(0, 0), FourCharCode("XXXX"));
    EXPECT_FALSE(Read(unknownType).has_value());

    auto duplicate = good; // second string list gets the first one's id
    PutU32(duplicate, EntryField(1, 1), 7);
    EXPECT_FALSE(Read(duplicate).has_value());

    auto tooManyEntries = good;
    PutU32(tooManyEntries, 12, 0x10000000u);
    EXPECT_FALSE(Read(tooManyEntries).has_value());
}

TEST(ResourceImage, PayloadMistakesAreRefused) {
    Contents oneList;
    oneList.stringLists.push_back({1, {"abc"}});
    const auto good = Write(oneList);
    const std::size_t payload = 32; // header and one entry

    auto hugeCount = good; // a count no payload can hold must not allocate
    PutU32(hugeCount, payload, 0xFFFFFFFFu);
    EXPECT_FALSE(Read(hugeCount).has_value());

    auto stringPastPayload = good;
    PutU32(stringPastPayload, payload + 4, 4);
    EXPECT_FALSE(Read(stringPastPayload).has_value());

    auto shortString = good; // leaves a byte of the payload unread
    PutU32(shortString, payload + 4, 2);
    EXPECT_FALSE(Read(shortString).has_value());

    Contents oneDialog;
    oneDialog.dialogs.push_back({1, DialogKind::Palette, "", {}, "", "", {{ItemKind::Browser, {}, "", ""}}});
    auto badKind = Write(oneDialog);
    PutU32(badKind, payload, 3);
    EXPECT_FALSE(Read(badKind).has_value());
    auto badItemKind = Write(oneDialog);
    PutU32(badItemKind, payload + 4 + 16 + 3 * 4 + 4, 0); // after kind, rect, three empty texts, item count
    EXPECT_FALSE(Read(badItemKind).has_value());
    auto maxItemKind = Write(oneDialog);
    PutU32(maxItemKind, payload + 4 + 16 + 3 * 4 + 4, static_cast<std::uint32_t>(ItemKind::SingleSelListBox));
    EXPECT_TRUE(Read(maxItemKind).has_value());
}

// Resource types are written with their first character in the highest byte.
static_assert(FourCharCode("GEIS") == 0x47454953u);

} // namespace
