// The room a run's copies need on each volume before its first write, as
// the copies come in list order. The free space itself is the system's:
// the end-to-end tests meet a volume without room with a sparse source.

#include <gtest/gtest.h>

#include "update/room_check.h"

TEST(RoomCheck, TheMostEachVolumeHoldsAtOnce)
{
    const auto copy = [](const wchar_t* volume, uint64_t size, uint64_t replaced) {
        CopyNeed need;
        need.volume = volume;
        need.size = size;
        need.replaced = replaced;
        return need;
    };
    const struct {
        const char* label;
        std::vector<CopyNeed> copies;
        bool allOrNothing;
        std::map<std::wstring, uint64_t> needed;
    } rows[] = {
        {"item by item: each old file freed as its copy takes its place",
         {copy(L"C:\\", 10, 4), copy(L"C:\\", 6, 0)}, false, {{L"C:\\", 12}}},
        {"all or nothing: every copy waits beside its target", {copy(L"C:\\", 10, 4), copy(L"C:\\", 6, 0)}, true,
         {{L"C:\\", 16}}},
        {"an old file freed leaves its room to the copies after it",
         {copy(L"C:\\", 10, 30), copy(L"C:\\", 25, 0)}, false, {{L"C:\\", 10}}},
        {"all or nothing frees nothing", {copy(L"C:\\", 10, 30), copy(L"C:\\", 25, 0)}, true, {{L"C:\\", 35}}},
        {"each volume counted alone", {copy(L"C:\\", 7, 0), copy(L"D:\\", 3, 0), copy(L"C:\\", 2, 0)}, true,
         {{L"C:\\", 9}, {L"D:\\", 3}}},
        {"nothing to copy", {}, true, {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(NeededRoom(row.copies, row.allOrNothing), row.needed) << row.label;
}
