#include "update/room_check.h"

#include <windows.h>
#include <algorithm>
#include "paths/wide_paths.h"

namespace {

// The volume a target lies on, from its nearest folder that exists.
std::wstring VolumeOf(const std::wstring& target)
{
    std::wstring folder = ContainingFolder(target);
    while (GetFileAttributesW(LongPathForm(folder).c_str()) == INVALID_FILE_ATTRIBUTES &&
           ContainingFolder(folder) != folder)
        folder = ContainingFolder(folder);
    wchar_t volume[MAX_PATH + 1] = {};
    return GetVolumePathNameW(folder.c_str(), volume, MAX_PATH) ? std::wstring(volume) : folder;
}

uint64_t SizeOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(LongPathForm(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

}  // namespace

std::map<std::wstring, uint64_t> NeededRoom(const std::vector<CopyNeed>& copies, bool allOrNothing)
{
    // Net growth since the run began: an old file freed earlier leaves its
    // room to the copies after it.
    std::map<std::wstring, uint64_t> peak;
    std::map<std::wstring, int64_t> grown;
    for (const CopyNeed& copy : copies) {
        int64_t& now = grown[copy.volume];
        const int64_t whileWritten = now + int64_t(copy.size);
        uint64_t& most = peak[copy.volume];
        most = std::max<uint64_t>(most, uint64_t(std::max<int64_t>(whileWritten, 0)));
        now = whileWritten - (allOrNothing ? 0 : int64_t(copy.replaced));
    }
    return peak;
}

std::vector<VolumeRoom> ShortVolumes(const std::vector<ItemRecord>& records, bool allOrNothing)
{
    std::vector<CopyNeed> copies;
    for (const ItemRecord& record : records) {
        if (record.verdict != VerdictApply || record.target.empty())
            continue;
        CopyNeed copy;
        copy.volume = VolumeOf(record.target);
        copy.size = record.size;
        copy.replaced = SizeOf(record.target);
        copies.push_back(copy);
    }
    std::vector<VolumeRoom> short_;
    for (const auto& need : NeededRoom(copies, allOrNothing)) {
        ULARGE_INTEGER free = {};
        if (!GetDiskFreeSpaceExW(need.first.c_str(), &free, nullptr, nullptr) || free.QuadPart >= need.second)
            continue;
        VolumeRoom room;
        room.volume = need.first;
        room.needed = need.second;
        room.free = free.QuadPart;
        short_.push_back(room);
    }
    return short_;
}
