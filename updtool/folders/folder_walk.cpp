#include "updtool/folders/folder_walk.h"

#include <windows.h>
#include "paths/folder_listing.h"
#include "paths/item_rule.h"
#include "base/shown_text.h"
#include "base/text_932.h"
#include "updtool/console/command_line.h"

namespace {

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

FolderWalk::FolderWalk(const std::wstring& folder, const std::wstring& excluded,
                       const NamePatterns* leftOut)
    : root(folder.back() == L'\\' ? folder.substr(0, folder.size() - 1) : folder),
      excluded_(excluded), leftOut_(leftOut)
{
}

void FolderWalk::Run()
{
    // Relative paths of the folders still to list; "" is the root.
    std::vector<std::wstring> pending(1);
    while (!pending.empty()) {
        const std::wstring relative = pending.back();
        pending.pop_back();
        const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
        FolderListing list(folder + L"\\*");
        while (list.Next()) {
            const std::wstring leaf = list.Name();
            const std::wstring name = relative.empty() ? leaf : relative + L"\\" + leaf;
            const std::wstring path = folder + L"\\" + leaf;
            const DWORD attributes = list.Entry().dwFileAttributes;
            SourceFile file;
            const bool named = ExactlyTo932(name, file.name);
            if (leftOut_ && leftOut_->Matches(LookupKeyOf(named ? file.name : WithStandIns(name))))
                continue;
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    warnings.push_back("the folder \"" + Utf8(name) +
                                       "\" is a link and was not followed");
                else
                    pending.push_back(name);
                continue;
            }
            if (CompareItemKeys(path, excluded_) == 0)
                continue;
            file.path = path;
            file.size = uint64_t(list.Entry().nFileSizeHigh) << 32 | list.Entry().nFileSizeLow;
            if (!named)
                refusals.push_back("\"" + Utf8(name) +
                                   "\" has characters that code page 932 cannot hold");
            (named ? files : unnamed).push_back(file);
        }
        if (list.Error() != 0) {
            SetLastError(list.Error());
            ThrowSystemError("cannot list the folder \"" + Utf8(folder) + "\"", folder);
        }
    }
}
