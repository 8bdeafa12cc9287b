#include "pak/archive_search.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>
#include "base/owned.h"
#include "base/text_932.h"
#include "base/multibyte.h"
#include "pak/archive_damage.h"
#include "pak/archive_entry.h"
#include "pak/archive_index.h"
#include "pak/name_matcher.h"
#include "paths/folder_listing.h"
#include "paths/wide_paths.h"

namespace {

// Stream buffer of an archive being searched. The packed index and
// compressed entries are read in 4 KiB chunks; with the runtime's default
// buffer of the same size every chunk is its own system call.
const size_t kArchiveStreamBuffer = 64 * 1024;

// Holds a nested search off: an archive that vanished between listing and
// opening must not make Open search the archives again from inside a search.
int searchDepth = 0;

class SearchDepth {
public:
    SearchDepth() { ++searchDepth; }
    SearchDepth(const SearchDepth&) = delete;
    SearchDepth& operator=(const SearchDepth&) = delete;
    virtual ~SearchDepth() { --searchDepth; }
};

// Attaches file to the record the lookup chose: the first match is the one
// used, so one that cannot be delivered is a damaged archive.
void Deliver(ArchiveFile& file, const ArchiveIndex& index, const IndexRecord& record)
{
    if (!index.CanDeliver(record))
        RaiseDamagedArchive();
    ArchiveEntry& entry = *file.entry;
    const uint32_t textLength = NameTextLength(record.name, record.nameLength);
    if (textLength)
        entry.name.Assign(record.name, int32_t(textLength));
    else
        entry.name.Clear();
    entry.offset = record.offset;
    entry.size = record.size;
    entry.compressed = record.compressed;
    entry.packedSize = record.packedSize;

    const uint64_t start = index.DataStart(record);
    file.Seek(start);
    file.baseOffset = start;
    file.name.Assign(entry.name);
    file.inArchive = true;
    file.compressed = entry.compressed;
    if (!entry.compressed)
        return;
    std::unique_ptr<void, decltype(&free)> data(malloc(entry.size ? entry.size : 1), &free);
    if (!data)
        throw std::bad_alloc();
    // A short stream would leave bytes of the block nobody wrote.
    if (file.Decompress(entry.packedSize, data.get(), entry.size) != entry.size)
        RaiseDamagedArchive();
    file.AttachMemory(data.release(), entry.size, true);
    file.baseOffset = 0;
}

}  // namespace

std::vector<std::wstring> ListArchives(const std::wstring& directory)
{
    const bool here = directory.empty();
    std::vector<std::wstring> archives;
    const std::wstring prefix = here ? std::wstring() : directory + L"\\";
    for (FolderListing list(prefix + L"*.pak"); list.Next();)
        if (!list.IsFolder())
            archives.push_back(prefix + list.Name());
    // The order lstrcmpiA gives on a Japanese system, on every system.
    std::stable_sort(archives.begin(), archives.end(), [](const std::wstring& a, const std::wstring& b) {
        const LCID japanese = MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT);
        return CompareStringW(japanese, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
               CSTR_LESS_THAN;
    });
    return archives;
}

bool PathExists(const std::wstring& path)
{
    if (path.empty())
        return false;
    if (path[0] != L'\\' && path.size() >= 2 && path[1] == L':') {
        // Ask the volume first, so a drive without a medium is a plain "no".
        // The root always gets its backslash: GetVolumeInformationW refuses a
        // bare "C:", which is what a search of a drive's root directory asks.
        const std::wstring root = path.substr(0, 2) + L"\\";
        DWORD maxComponent = 0;
        DWORD flags = 0;
        if (!GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, &maxComponent, &flags,
                                   nullptr, 0))
            return false;
    }
    return GetFileAttributesW(LongPathForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool PathExists(const char* path)
{
    return path != nullptr && PathExists(WideFrom932(path));
}

bool FindInArchives(ArchiveFile& file, const std::wstring& directory, const char* soughtName)
{
    if (searchDepth > 0)
        return false;
    SearchDepth depth;

    String sought;
    sought.Assign(soughtName ? soughtName : "");
    sought.Replace("\\\\", "\\");
    const char* soughtText = TextOf(sought);
    const NameMatcher matcher(soughtText, uint32_t(lstrlenA(soughtText)));

    const std::wstring dir =
        EndsWithSeparator(directory) ? directory.substr(0, directory.size() - 1) : directory;
    if (!PathExists(dir))
        return false;

    for (const std::wstring& archive : ListArchives(dir)) {
        // An archive that cannot be opened reads as an empty version 0.
        file.Open(archive, ModeRead);
        if (file.file)
            setvbuf(file.file, nullptr, _IOFBF, kArchiveStreamBuffer);
        {
            ArchiveIndex index(file);
            if (index.Load()) {
                IndexRecord record;
                while (index.Next(record)) {
                    if (matcher.BeginsWith(record.name, record.nameLength)) {
                        Deliver(file, index, record);
                        return true;
                    }
                }
            }
        }
        file.Close();
    }
    return false;
}
