#include "RS.hpp"
#include "ResourceIds.hpp"
#include "TestIds.hpp"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <array>
#include <cstdlib>

namespace {

// A shared library built with quillmar_add_resources, loaded as the host loads an add-on.
class LoadedModule {
public:
    explicit LoadedModule(const char* path) : handle(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
        if (handle != nullptr) anchor = dlsym(handle, "RSTestModuleAnchor");
    }
    ~LoadedModule() {
        if (handle != nullptr) dlclose(handle);
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    const void* Anchor() const { return anchor; }

private:
    void* handle = nullptr;
    const void* anchor = nullptr;
};

class ResModule {
public:
    explicit ResModule(const void* address) : id(RSInitModuleImageCache(address)) {}
    ~ResModule() { RSRemoveModuleImageCache(id); }
    ResModule(const ResModule&) = delete;
    ResModule& operator=(const ResModule&) = delete;

    GSResModule id;
};

UInt32 BigEndian32(const std::vector<UInt8>& bytes, std::size_t at) {
    return (UInt32{bytes.at(at)} << 24) | (UInt32{bytes.at(at + 1)} << 16) | (UInt32{bytes.at(at + 2)} << 8) |
           UInt32{bytes.at(at + 3)};
}

// Checks the PNG signature and the IHDR chunk that must follow it; returns the size IHDR declares.
std::pair<UInt32, UInt32> PngSize(const std::vector<UInt8>& png) {
    const std::array<UInt8, 8> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_GE(png.size(), 24u);
    if (png.size() < 24) return {0, 0};
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), png.begin()));
    EXPECT_EQ(BigEndian32(png, 8), 13u); // IHDR length
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    return {BigEndian32(png, 16), BigEndian32(png, 20)};
}

class TestModuleResources : public ::testing::Test {
protected:
    LoadedModule library{RS_TEST_MODULE_PATH};
    ResModule module{library.Anchor()};

    void SetUp() override {
        ASSERT_NE(library.Anchor(), nullptr) << dlerror();
        ASSERT_NE(module.id, InvalidResModule);
    }
};

TEST_F(TestModuleResources, IndexedStringsAreOneBasedAndBounded) {
    GS::UniString text = "unchanged";
    EXPECT_TRUE(RSGetIndString(&text, ID_TEST_STRINGS, 1, module.id));
    EXPECT_EQ(text, "first");
    EXPECT_TRUE(RSGetIndString(&text, ID_TEST_STRINGS, 2, module.id));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(RSGetIndString(&text, ID_TEST_STRINGS, 3, module.id));
    EXPECT_EQ(text, "third");

    text = "unchanged";
    EXPECT_FALSE(RSGetIndString(&text, ID_TEST_STRINGS, 0, module.id));
    EXPECT_FALSE(RSGetIndString(&text, ID_TEST_STRINGS, -1, module.id));
    EXPECT_FALSE(RSGetIndString(&text, ID_TEST_STRINGS, 4, module.id));
    EXPECT_FALSE(RSGetIndString(&text, 999, 1, module.id));
    // Another resource type under a string list's id is no string list.
    EXPECT_FALSE(RSGetIndString(&text, ID_TEST_PALETTE, 1, module.id));
    EXPECT_EQ(text, "unchanged");
    EXPECT_FALSE(RSGetIndString(nullptr, ID_TEST_STRINGS, 1, module.id));
}

TEST_F(TestModuleResources, ParamAdapterReadsTheSameStrings) {
    GS::UniString text;
    EXPECT_TRUE(RSGetIndString_ParamAdapter(&text, ID_TEST_STRINGS, 3, module.id));
    EXPECT_EQ(text, "third");
    EXPECT_FALSE(RSGetIndString_ParamAdapter(&text, ID_TEST_STRINGS, 4, module.id));
}

TEST_F(TestModuleResources, TextsOutsideAsciiArriveAsUtf16) {
    GS::UniString text;
    ASSERT_TRUE(RSGetIndString(&text, ID_TEST_UNICODE, 1, module.id));
    EXPECT_EQ(text.ToU16String(), u"Grüße ✓");
    ASSERT_TRUE(RSGetIndString(&text, ID_TEST_UNICODE, 2, module.id));
    EXPECT_EQ(text.ToU16String(), u"😀 ^E3^300");
    EXPECT_EQ(text.GetLength(), 10u); // the emoji is a surrogate pair

    GS::Array<GS::UniString> list;
    ASSERT_TRUE(RS::GetStringList(&list, ID_TEST_STRINGS, module.id));
    EXPECT_EQ(list, (GS::Array<GS::UniString>{"first", "", "third"}));
}

TEST_F(TestModuleResources, DialogsKeepTheirItemsInOrder) {
    RS::DialogDescription palette;
    ASSERT_TRUE(RS::GetDialogDescription(&palette, ID_TEST_PALETTE, module.id));
    EXPECT_EQ(palette.type, RS::DialogType::Palette);
    EXPECT_EQ(palette.title, "Test Palette");
    EXPECT_EQ(palette.width, 120);
    EXPECT_EQ(palette.height, 80);
    EXPECT_EQ(palette.name, "DLG_200_Test");
    EXPECT_EQ(palette.displayName, "Test Palette");
    ASSERT_EQ(palette.items.GetSize(), 2u);
    EXPECT_EQ(palette.items[0].index, 1);
    EXPECT_EQ(palette.items[0].type, RS::DialogItemType::Browser);
    EXPECT_EQ(palette.items[0].name, "Browser_0");
    EXPECT_EQ(palette.items[0].height, 60);
    EXPECT_EQ(palette.items[1].index, 2);
    EXPECT_EQ(palette.items[1].type, RS::DialogItemType::Button);
    EXPECT_EQ(palette.items[1].text, "OK");
    EXPECT_EQ(palette.items[1].name, "");
    EXPECT_EQ(palette.items[1].x, 70);
    EXPECT_EQ(palette.items[1].y, 60);
    EXPECT_EQ(palette.items[1].width, 50);
    EXPECT_EQ(palette.items[1].height, 20);

    RS::DialogDescription modal;
    ASSERT_TRUE(RS::GetDialogDescription(&modal, ID_TEST_MODAL, module.id));
    EXPECT_EQ(modal.type, RS::DialogType::Modal);
    EXPECT_EQ(modal.x, 40);
    EXPECT_EQ(modal.y, 40);
    EXPECT_TRUE(modal.items.IsEmpty());
    EXPECT_TRUE(modal.name.IsEmpty());

    RS::DialogDescription untouched;
    untouched.title = "untouched";
    EXPECT_FALSE(RS::GetDialogDescription(&untouched, ID_TEST_STRINGS, module.id));
    EXPECT_EQ(untouched.title, "untouched");
    EXPECT_FALSE(RS::GetDialogDescription(nullptr, ID_TEST_PALETTE, module.id));
}

TEST_F(TestModuleResources, IconImagesAreThePngFilesWithWidthAndHeightInOrder) {
    GS::Array<RS::IconImage> images;
    ASSERT_TRUE(RS::GetIconImages(&images, ID_TEST_ICON, module.id));
    ASSERT_EQ(images.GetSize(), 2u);
    EXPECT_EQ(images[0].dpi, 96u);
    EXPECT_EQ(images[0].width, 5u);
    EXPECT_EQ(images[0].height, 3u);
    EXPECT_EQ(PngSize(images[0].png), std::make_pair(UInt32{5}, UInt32{3}));
    EXPECT_EQ(images[1].dpi, 192u);
    EXPECT_EQ(PngSize(images[1].png), std::make_pair(UInt32{10}, UInt32{6}));
    EXPECT_FALSE(RS::GetIconImages(&images, ID_TEST_ICON + 1, module.id));
}

TEST_F(TestModuleResources, IdentificationKeepsFullUnsignedRange) {
    RS::AddOnIdentification identification{1, 1};
    ASSERT_TRUE(RS::GetAddOnIdentification(&identification, ID_TEST_IDENTIFICATION, module.id));
    EXPECT_EQ(identification.developerId, 4294967295u);
    EXPECT_EQ(identification.localId, 0u);
    EXPECT_FALSE(RS::GetAddOnIdentification(&identification, ID_TEST_STRINGS, module.id));
}

TEST_F(TestModuleResources, ClosedOrRemovedModulesAnswerNothing) {
    ResModule second(library.Anchor());
    ASSERT_NE(second.id, InvalidResModule);
    EXPECT_NE(second.id, module.id);

    RS::ResModuleClosed(second.id);
    GS::UniString text;
    EXPECT_FALSE(RSGetIndString(&text, ID_TEST_STRINGS, 1, second.id));
    RS::AddOnIdentification identification;
    EXPECT_FALSE(RS::GetAddOnIdentification(&identification, ID_TEST_IDENTIFICATION, second.id));
    // Closing one id leaves the other opening of the same file alone.
    EXPECT_TRUE(RSGetIndString(&text, ID_TEST_STRINGS, 1, module.id));

    ResModule third(library.Anchor());
    RSRemoveModuleImageCache(third.id);
    EXPECT_FALSE(RSGetIndString(&text, ID_TEST_STRINGS, 1, third.id));
    EXPECT_FALSE(RSGetIndString(&text, ID_TEST_STRINGS, 1, InvalidResModule));
}

TEST(ModuleImageCache, AddressesWithoutResourcesGiveNoModule) {
    EXPECT_EQ(RSInitModuleImageCache(nullptr), InvalidResModule);
    // The test program and the C library are modules without a resource section.
    static const int inThisProgram = 0;
    EXPECT_EQ(RSInitModuleImageCache(&inThisProgram), InvalidResModule);
    EXPECT_EQ(RSInitModuleImageCache(dlsym(RTLD_DEFAULT, "malloc")), InvalidResModule);
    // Heap memory belongs to no module.
    const auto heap = std::make_unique<int>(0);
    EXPECT_EQ(RSInitModuleImageCache(heap.get()), InvalidResModule);
}

TEST(ModuleImageCache, UnknownIdsAreIgnored) {
    RSRemoveModuleImageCache(123456);
    RS::ResModuleClosed(123456);
    GS::UniString text;
    EXPECT_FALSE(RSGetIndString(&text, ID_TEST_STRINGS, 1, 123456));
}

// The add-on's own resource files, compiled as the add-on compiles them.
class AddOnResources : public ::testing::Test {
protected:
    LoadedModule library{RS_ADDON_RESOURCES_MODULE_PATH};
    ResModule module{library.Anchor()};

    void SetUp() override {
        ASSERT_NE(library.Anchor(), nullptr) << dlerror();
        ASSERT_NE(module.id, InvalidResModule);
    }

    GS::UniString String(GSResID list, Int32 index) {
        GS::UniString text;
        EXPECT_TRUE(RSGetIndString(&text, list, index, module.id)) << list << "/" << index;
        return text;
    }
};

TEST_F(AddOnResources, StringListsNameTheAddOnAndItsMenu) {
    EXPECT_EQ(String(ID_ADDON_INFO, 1), "Quillmar");
    EXPECT_EQ(String(ID_ADDON_INFO, 2), "Quillmar Add-on");
    EXPECT_EQ(String(ID_ADDON_MENU, 1), "Quillmar");
    EXPECT_EQ(String(ID_ADDON_MENU, 2), "Quillmar Palette ^E3^10001");
    // The menu item's icon reference names the icon resource.
    EXPECT_TRUE(String(ID_ADDON_MENU, 2).EndsWith(GS::UniString::Printf("^E3^%d", ID_MENU_ICON)));
    GS::UniString text;
    EXPECT_FALSE(RSGetIndString(&text, ID_ADDON_INFO, 3, module.id));
    EXPECT_FALSE(RSGetIndString(&text, ID_ADDON_MENU, 3, module.id));
}

TEST_F(AddOnResources, PaletteDialogIsOneBrowserFillingIt) {
    RS::DialogDescription dialog;
    ASSERT_TRUE(RS::GetDialogDescription(&dialog, ID_PALETTE_DIALOG, module.id));
    EXPECT_EQ(dialog.type, RS::DialogType::Palette);
    EXPECT_EQ(dialog.title, "Quillmar");
    EXPECT_EQ(dialog.width, 300);
    EXPECT_EQ(dialog.height, 450);
    EXPECT_EQ(dialog.name, "DLG_32500_Quillmar_Palette");
    EXPECT_EQ(dialog.displayName, "Quillmar Palette");
    ASSERT_EQ(dialog.items.GetSize(), 1u);
    const RS::DialogItemDescription& browser = dialog.items[0];
    EXPECT_EQ(browser.index, 1);
    EXPECT_EQ(browser.type, RS::DialogItemType::Browser);
    EXPECT_EQ(browser.name, "Browser_0");
    EXPECT_EQ(browser.x, 0);
    EXPECT_EQ(browser.y, 0);
    EXPECT_EQ(browser.width, 300);
    EXPECT_EQ(browser.height, 450);
}

TEST_F(AddOnResources, MenuIconHasBothResolutions) {
    GS::Array<RS::IconImage> images;
    ASSERT_TRUE(RS::GetIconImages(&images, ID_MENU_ICON, module.id));
    ASSERT_EQ(images.GetSize(), 2u);
    EXPECT_EQ(images[0].dpi, 96u);
    EXPECT_EQ(PngSize(images[0].png), std::make_pair(UInt32{18}, UInt32{18}));
    EXPECT_EQ(images[1].dpi, 192u);
    EXPECT_EQ(PngSize(images[1].png), std::make_pair(UInt32{36}, UInt32{36}));
}

TEST_F(AddOnResources, IdentificationIsPresent) {
    RS::AddOnIdentification identification;
    ASSERT_TRUE(RS::GetAddOnIdentification(&identification, ID_ADDON_IDENTIFICATION, module.id));
    EXPECT_NE(identification.developerId, 0u);
    EXPECT_NE(identification.localId, 0u);
}

} // namespace
