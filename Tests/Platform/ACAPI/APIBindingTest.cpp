#include "APIBinding.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The host reads the record as bytes; these tests read it the same way.
template <typename T, typename Record>
T ReadAt(const Record& record, std::size_t offset) {
    T value;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(&record) + offset, sizeof(T));
    return value;
}

API_AddonType Describe(API_EnvirParams*) {
    return APIAddon_Preload;
}
GSErrCode Register(void*) {
    return 1;
}
GSErrCode Initialize(void*) {
    return 2;
}
GSErrCode Release(void*) {
    return 3;
}

TEST(EntryRecord, FieldsSitAtTheBytesTheHostReads) {
    EXPECT_EQ(sizeof(API_AddOnEntryRecord), 120u);
    API_AddOnEntryRecord record{};
    record.layout = API_EntryRecordLayout;
    record.describeAddOn = &Describe;
    record.registerInterface = &Register;
    record.initialize = &Initialize;
    record.release = &Release;
    record.apiVersion = API_HostVersion;

    EXPECT_EQ(ReadAt<UInt32>(record, 0), 0x001D0001u);
    EXPECT_EQ(ReadAt<UInt32>(record, 40), 29000u);
    EXPECT_EQ(ReadAt<API_DescribeAddOnProc*>(record, 8), &Describe);
    EXPECT_EQ(ReadAt<API_RegisterInterfaceProc*>(record, 16), &Register);
    EXPECT_EQ(ReadAt<API_InitializeProc*>(record, 24), &Initialize);
    EXPECT_EQ(ReadAt<API_ReleaseProc*>(record, 32), &Release);
    // Bytes 4..7 and 44..119 are reserved and stay zero.
    EXPECT_EQ(ReadAt<UInt32>(record, 4), 0u);
    for (std::size_t offset = 44; offset < 120; offset += 4)
        EXPECT_EQ(ReadAt<UInt32>(record, offset), 0u) << offset;

    API_EnvirParams envir;
    EXPECT_EQ(ReadAt<API_DescribeAddOnProc*>(record, 8)(&envir), 2);
    EXPECT_EQ(ReadAt<API_ReleaseProc*>(record, 32)(nullptr), 3);
}

GSErrCode KeepInMemory(void*, bool) {
    return NoError;
}
GSErrCode GetOwnToken(void*, void*, API_Guid*) {
    return NoError;
}
GSErrCode Command(void*, UInt32, void*, void*, void*, void*) {
    return NoError;
}

TEST(HostFunctionTable, IsExactlyTheSizeTheAddOnCopies) {
    EXPECT_EQ(sizeof(API_HostFunctionTable), 5152u);
    EXPECT_EQ(API_HostTableSlotCapacity, 643u);
    const std::size_t reserved = sizeof(API_HostFunctionTable::reserved) / sizeof(void*);
    EXPECT_EQ(reserved + static_cast<std::size_t>(API_HostSlot::Count), API_HostTableSlotCapacity);
    EXPECT_EQ(offsetof(API_HostFunctionTable, reserved) + sizeof(API_HostFunctionTable::reserved), 5152u);
}

TEST(HostFunctionTable, SlotsSitAtTheirIndexOffsets) {
    API_HostFunctionTable table{};
    table.tableSize = static_cast<UInt32>(API_HostFunctionTableSize);
    table.apiVersion = API_HostVersion;
    table.command = &Command;
    table.keepInMemory = &KeepInMemory;
    table.getOwnToken = &GetOwnToken;

    EXPECT_EQ(ReadAt<UInt32>(table, 0), 5152u);
    EXPECT_EQ(ReadAt<UInt32>(table, 4), 29000u);
    EXPECT_EQ(API_HostSlotOffset(API_HostSlot::Command), 8u);
    EXPECT_EQ(ReadAt<decltype(table.command)>(table, 8), &Command);
    EXPECT_EQ(ReadAt<decltype(table.keepInMemory)>(table, API_HostSlotOffset(API_HostSlot::KeepInMemory)),
              &KeepInMemory);
    EXPECT_EQ(ReadAt<decltype(table.getOwnToken)>(table, API_HostSlotOffset(API_HostSlot::GetOwnToken)), &GetOwnToken);
    // Every slot in between is still empty: the host leaves what it does not offer null.
    for (auto slot = static_cast<std::size_t>(API_HostSlot::KeepInMemory) + 1;
         slot < static_cast<std::size_t>(API_HostSlot::GetOwnToken); ++slot)
        EXPECT_EQ(ReadAt<void*>(table, API_HostSlotOffset(static_cast<API_HostSlot>(slot))), nullptr) << slot;
    EXPECT_EQ(ReadAt<void*>(table, 5152 - 8), nullptr);
}

} // namespace
