#include "FileTypeManager.hpp"

#include <gtest/gtest.h>

namespace {

FTM::FileType Xml() {
    return FTM::FileType(nullptr, "xml", 0, 0, 0, nullptr, nullptr, true);
}

TEST(FileType, NullTextsReadAsEmptyAndValuesAreKept) {
    const FTM::FileType type(nullptr, "ifc", 7, 9, 10001, nullptr, nullptr, false);
    EXPECT_EQ(type.GetDescription(), "");
    EXPECT_EQ(type.GetMimeType(), "");
    EXPECT_EQ(type.GetExtension(), "ifc");
    EXPECT_EQ(type.GetTypeCode(), 7u);
    EXPECT_EQ(type.GetCreatorCode(), 9u);
    EXPECT_EQ(type.GetIconId(), 10001);
    EXPECT_FALSE(type.IsRecognizedByExtension());
}

TEST(FileType, MatchesOnExtensionIgnoringCaseAndOnBothCodes) {
    EXPECT_TRUE(Xml().Matches(FTM::FileType("Other text", "XML", 0, 0, 5)));
    EXPECT_FALSE(Xml().Matches(FTM::FileType(nullptr, "xmlx", 0, 0, 0)));
    EXPECT_FALSE(Xml().Matches(FTM::FileType(nullptr, "xml", 1, 0, 0)));
    EXPECT_FALSE(Xml().Matches(FTM::FileType(nullptr, "xml", 0, 1, 0)));
}

TEST(FileTypeManager, UnknownUntilAddedThenFoundAndGoneWithItsManager) {
    EXPECT_EQ(FTM::FileTypeManager::SearchForType(Xml(), FTM::RootGroup), FTM::UnknownType);
    FTM::TypeID id = FTM::UnknownType;
    {
        FTM::FileTypeManager manager("MapFileManager");
        EXPECT_EQ(manager.GetName(), "MapFileManager");
        id = manager.AddType(Xml(), FTM::RootGroup);
        EXPECT_NE(id, FTM::UnknownType);
        EXPECT_EQ(FTM::FileTypeManager::SearchForType(Xml(), FTM::RootGroup), id);
        EXPECT_EQ(FTM::FileTypeManager::SearchForType(FTM::FileType(nullptr, "Xml", 0, 0, 0)), id);

        FTM::FileType copy(nullptr, nullptr, 1, 1, 1);
        ASSERT_TRUE(FTM::FileTypeManager::GetType(id, &copy));
        EXPECT_EQ(copy.GetExtension(), "xml");
        EXPECT_EQ(copy.GetTypeCode(), 0u);
    }
    EXPECT_EQ(FTM::FileTypeManager::SearchForType(Xml()), FTM::UnknownType);
    FTM::FileType unchanged(nullptr, "keep", 0, 0, 0);
    EXPECT_FALSE(FTM::FileTypeManager::GetType(id, &unchanged));
    EXPECT_EQ(unchanged.GetExtension(), "keep");
}

TEST(FileTypeManager, SearchGivesTheFirstAddedOfEqualTypesAndIdsAreNeverReused) {
    FTM::FileTypeManager first("first");
    FTM::FileTypeManager second("second");
    const FTM::TypeID a = second.AddType(Xml());
    const FTM::TypeID b = first.AddType(Xml());
    EXPECT_NE(a, b);
    EXPECT_EQ(FTM::FileTypeManager::SearchForType(Xml()), a);
    FTM::TypeID c = FTM::UnknownType;
    {
        FTM::FileTypeManager third("third");
        c = third.AddType(FTM::FileType(nullptr, "pdf", 0, 0, 0));
    }
    FTM::FileTypeManager fourth("fourth");
    EXPECT_NE(fourth.AddType(FTM::FileType(nullptr, "pdf", 0, 0, 0)), c);
}

TEST(FileTypeManager, OnlyTheRootGroupExists) {
    FTM::FileTypeManager manager("m");
    EXPECT_EQ(manager.AddType(Xml(), 3), FTM::UnknownType);
    manager.AddType(Xml(), FTM::RootGroup);
    EXPECT_EQ(FTM::FileTypeManager::SearchForType(Xml(), 3), FTM::UnknownType);
    EXPECT_FALSE(FTM::FileTypeManager::GetType(FTM::UnknownType, nullptr));
}

} // namespace
