#include "paths/folder_guard.h"

#include <windows.h>
#include <vector>
#include "system/native_file.h"
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

}  // namespace

FolderGuard::FolderGuard(const std::wstring& installFolder) : installFolder_(installFolder) {}

FolderGuard::~FolderGuard() {}

bool FolderGuard::Hold(const std::wstring& relativeFolder)
{
    if (installFinal_.empty()) {
        // Followed: the install folder itself may be a link.
        installFinal_ = FinalPathOf(FilePlace(LongPathForm(installFolder_)));
    }
    std::wstring relative;
    for (const std::wstring& segment : Segments(relativeFolder)) {
        relative = relative.empty() ? segment : relative + L"\\" + segment;
        if (held_.count(relative) != 0)
            continue;
        const std::wstring path = LongPathForm(installFolder_ + L"\\" + relative);
        std::unique_ptr<Handle> folder(new Handle);
        if (!OpenFile(FileOpen::HoldFolder, FilePlace(path), *folder) &&
            (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)) {
            CreateDirectoryW(path.c_str(), nullptr);
            OpenFile(FileOpen::HoldFolder, FilePlace(path), *folder);
        }
        // Asked of the name and of what was opened: Wine opens what a link
        // points to even when asked for the link itself, and reports the
        // link only by name; its final path then lies elsewhere.
        const DWORD attributes = GetFileAttributesW(path.c_str());
        const bool elsewhere = folder->Valid() && !installFinal_.empty() &&
                               !SamePath(FinalPathOf(folder->Get()), installFinal_ + L"\\" + relative);
        if (elsewhere ||
            (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
            SetLastError(ERROR_CANT_RESOLVE_FILENAME);
            return false;
        }
        if (!folder->Valid() || attributes == INVALID_FILE_ATTRIBUTES ||
            !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return true;
        held_[relative] = std::move(folder);
    }
    return true;
}

void FolderGuard::ReleaseAll()
{
    held_.clear();
}

bool IsLink(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool NoLinkBelow(const std::wstring& installFolder, const std::wstring& relative)
{
    std::wstring path = installFolder;
    for (const std::wstring& segment : Segments(relative)) {
        path += L"\\" + segment;
        const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return true;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return false;
    }
    return true;
}
