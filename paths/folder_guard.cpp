#include "paths/folder_guard.h"

#include <windows.h>
#include <vector>
#include "paths/item_rule.h"
#include "paths/wide_paths.h"

namespace {

std::vector<std::wstring> Segments(const std::wstring& relative)
{
    std::vector<std::wstring> segments;
    size_t start = 0;
    for (size_t i = 0; i <= relative.size(); ++i) {
        if (i < relative.size() && relative[i] != L'\\' && relative[i] != L'/')
            continue;
        if (i > start)
            segments.push_back(relative.substr(start, i - start));
        start = i + 1;
    }
    return segments;
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_EQUAL;
}

bool Tagged(HANDLE handle)
{
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    return GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
           (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

FolderGuard::FolderGuard(const std::wstring& installFolder, bool makes)
    : installFolder_(installFolder), makes_(makes)
{
}

FolderGuard::~FolderGuard() {}

std::wstring FolderGuard::Path(const std::wstring& relative) const
{
    return LongPathForm(relative.empty() ? installFolder_ : installFolder_ + L"\\" + relative);
}

bool FolderGuard::Hold(const std::wstring& relativeFolder)
{
    if (held_.count(L"") == 0) {
        // Followed: the install folder itself may be a link.
        std::unique_ptr<Handle> install(new Handle);
        if (!OpenFile(FileOpen::HoldFollowedFolder, FilePlace(Path(L"")), *install))
            return true;
        installFinal_ = FinalPathOf(install->Get());
        held_[L""] = std::move(install);
    }
    std::wstring parent, relative;
    for (const std::wstring& segment : Segments(relativeFolder)) {
        relative = relative.empty() ? segment : relative + L"\\" + segment;
        if (held_.count(relative) != 0) {
            parent = relative;
            continue;
        }
        const auto above = held_.find(parent);
        if (above == held_.end())
            return true;
        std::unique_ptr<Handle> folder(new Handle);
        const FilePlace place(above->second->Get(), Path(parent), segment);
        if (!OpenFile(makes_ ? FileOpen::HoldOrMakeFolder : FileOpen::HoldFolder, place, *folder))
            return true;
        // Asked of the name, of the handle, and of a fresh open of the path:
        // Wine opens what a link points to even when asked for the link
        // itself and tells the link only by its name; its final path then
        // lies elsewhere.
        const DWORD attributes = GetFileAttributesW(Path(relative).c_str());
        Handle fresh;
        const bool same = OpenFile(FileOpen::FollowFolder, FilePlace(Path(relative)), fresh) &&
                          SameFileObject(folder->Get(), fresh.Get());
        if (Tagged(folder->Get()) ||
            (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) || !same ||
            installFinal_.empty() || !SamePath(FinalPathOf(folder->Get()), installFinal_ + L"\\" + relative)) {
            SetLastError(ERROR_CANT_RESOLVE_FILENAME);
            return false;
        }
        held_[relative] = std::move(folder);
        parent = relative;
    }
    return true;
}

std::vector<std::wstring> FolderGuard::Missing(const std::wstring& relativeFolder) const
{
    std::vector<std::wstring> missing;
    std::wstring relative;
    for (const std::wstring& segment : Segments(relativeFolder)) {
        relative = relative.empty() ? segment : relative + L"\\" + segment;
        if (!missing.empty() || GetFileAttributesW(Path(relative).c_str()) == INVALID_FILE_ATTRIBUTES)
            missing.push_back(relative);
    }
    return missing;
}

bool FolderGuard::RemoveIfEmpty(const std::wstring& relativeFolder)
{
    const std::wstring key = ItemKey(relativeFolder);
    if (key.empty() || !Hold(key) || !Held(key))
        return false;
    Release(key);
    return DeleteFileAt(PlaceOf(key));
}

HANDLE FolderGuard::Held(const std::wstring& relativeFolder) const
{
    const auto held = held_.find(ItemKey(relativeFolder));
    return held == held_.end() ? nullptr : held->second->Get();
}

FilePlace FolderGuard::Place(const std::wstring& relativeFolder, const std::wstring& leaf) const
{
    const HANDLE folder = Held(relativeFolder);
    return folder ? FilePlace(folder, Path(relativeFolder), leaf) : FilePlace(Path(relativeFolder), leaf);
}

FilePlace FolderGuard::PlaceOf(const std::wstring& relative) const
{
    const size_t slash = relative.find_last_of(L"\\/");
    return Place(RelativeFolderOf(relative), slash == std::wstring::npos ? relative : relative.substr(slash + 1));
}

bool FolderGuard::Unmoved(const std::wstring& relativeFolder) const
{
    std::wstring relative;
    for (const std::wstring& segment : Segments(relativeFolder)) {
        relative = relative.empty() ? segment : relative + L"\\" + segment;
        const auto held = held_.find(relative);
        Handle fresh;
        if (held != held_.end() && (!OpenFile(FileOpen::FollowFolder, FilePlace(Path(relative)), fresh) ||
                                    !SameFileObject(held->second->Get(), fresh.Get())))
            return false;
    }
    return true;
}

bool FolderGuard::Unmoved() const
{
    for (const auto& held : held_)
        if (!held.first.empty() && !Unmoved(held.first))
            return false;
    return true;
}

void FolderGuard::Release(const std::wstring& relativeFolder)
{
    const std::wstring key = ItemKey(relativeFolder);
    for (auto held = held_.begin(); held != held_.end();) {
        const bool below = !key.empty() && (held->first == key || held->first.compare(0, key.size() + 1, key + L"\\") == 0);
        held = below ? held_.erase(held) : std::next(held);
    }
}

void FolderGuard::ReleaseAll()
{
    for (auto held = held_.begin(); held != held_.end();)
        held = held->first.empty() ? std::next(held) : held_.erase(held);
}

std::wstring RelativeFolderOf(const std::wstring& relative)
{
    const size_t slash = relative.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : ItemKey(relative.substr(0, slash));
}

bool IsLink(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}
