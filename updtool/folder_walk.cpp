#include "updtool/folder_walk.h"

#include <windows.h>
#include "base/owned.h"
#include "updtool/text_conversion.h"
#include "updtool/tool_error.h"

namespace {

// One FindFirstFileW enumeration.
class WideFind {
public:
    WIN32_FIND_DATAW found;

    explicit WideFind(const std::wstring& pattern)
        : found(), handle_(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                            FindExSearchNameMatch, nullptr, 0))
    {
    }
    virtual ~WideFind() {}

    bool Valid() const { return handle_.Valid(); }
    bool Next() { return FindNextFileW(handle_.Get(), &found) != 0; }

private:
    FindOwner handle_;
};

// name in code page 932, '?' for each character it cannot hold: no name
// holds a '?', so only a pattern's wildcards match there.
std::string WithStandIns(const std::wstring& name)
{
    std::string text;
    for (wchar_t c : name) {
        std::string one;
        text += ExactlyTo932(std::wstring(1, c), one) ? one : "?";
    }
    return text;
}

}  // namespace

FolderWalk::FolderWalk(const std::wstring& root, const std::vector<std::wstring>& excluded,
                       const NamePatterns* leftOut)
    : root_(root), excluded_(excluded), leftOut_(leftOut)
{
}

FolderWalk::~FolderWalk() {}

bool FolderWalk::Excluded(const std::wstring& path) const
{
    for (const std::wstring& excluded : excluded_)
        if (CompareStringOrdinal(path.c_str(), int(path.size()), excluded.c_str(),
                                 int(excluded.size()), TRUE) == CSTR_EQUAL)
            return true;
    return false;
}

void FolderWalk::Run()
{
    // Relative paths of the folders still to list; "" is the root.
    std::vector<std::wstring> pending(1);
    while (!pending.empty()) {
        const std::wstring relative = pending.back();
        pending.pop_back();
        const std::wstring folder = relative.empty() ? root_ : root_ + L"\\" + relative;
        WideFind find(folder + L"\\*");
        if (!find.Valid()) {
            if (GetLastError() == ERROR_FILE_NOT_FOUND)
                continue;  // an empty folder, on some file systems
            ThrowSystemError("cannot list the folder '" + Utf8(folder) + "'", folder);
        }
        do {
            const std::wstring leaf = find.found.cFileName;
            if (leaf == L"." || leaf == L"..")
                continue;
            const std::wstring name = relative.empty() ? leaf : relative + L"\\" + leaf;
            const std::wstring path = folder + L"\\" + leaf;
            const DWORD attributes = find.found.dwFileAttributes;
            SourceFile file;
            const bool named = ExactlyTo932(name, file.name);
            if (leftOut_ && leftOut_->Matches(LookupKeyOf(named ? file.name : WithStandIns(name))))
                continue;
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    warnings.push_back("the folder '" + Utf8(name) +
                                       "' is a link and was not followed");
                else
                    pending.push_back(name);
                continue;
            }
            if (Excluded(path))
                continue;
            file.path = path;
            file.size = uint64_t(find.found.nFileSizeHigh) << 32 | find.found.nFileSizeLow;
            if (!named)
                refusals.push_back("'" + Utf8(name) +
                                   "' has characters that code page 932 cannot hold");
            (named ? files : unnamed).push_back(file);
        } while (find.Next());
        if (GetLastError() != ERROR_NO_MORE_FILES)
            ThrowSystemError("cannot list the folder '" + Utf8(folder) + "'", folder);
    }
}
