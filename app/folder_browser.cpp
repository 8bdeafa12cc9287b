#include "app/folder_browser.h"

#include <shlobj.h>
#include "base/owned.h"
#include "system/run_log.h"
#include "base/text_932.h"

namespace {
void ReleaseAllocator(IMalloc* allocator)
{
    allocator->Release();
}

void FreeItem(PIDLIST_ABSOLUTE item)
{
    CoTaskMemFree(item);
}

const UINT browseFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_BROWSEFORCOMPUTER;
}

void BrowseForFolder(FilePath& folder, HWND owner, const char* prompt)
{
    wchar_t buffer[MAX_PATH] = {};
    const std::wstring title = WideFrom932(prompt);
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)))
        return;
    const Owned<IMalloc*, ReleaseAllocator> shell(allocator);
    if (!shell.Valid())
        return;

    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = buffer;
    info.lpszTitle = title.c_str();
    info.ulFlags = browseFlags;
    info.lpfn = BrowseCallback;
    info.lParam = 0;

    LogEvent("folder browser opened at \"" + LogText(folder.path) + "\"");
    const Owned<PIDLIST_ABSOLUTE, FreeItem> chosen(SHBrowseForFolderW(&info));
    if (chosen.Valid() && SHGetPathFromIDListW(chosen.Get(), buffer)) {
        folder.path = buffer;
        LogEvent("folder browser answered \"" + LogText(folder.path) + "\"");
    } else {
        LogEvent("folder browser cancelled, or its choice is no folder on disk");
    }
}

// Works on a fixed local buffer only, so nothing here can throw into the
// platform's browser.
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM lParam, LPARAM /*data*/)
{
    if (message == BFFM_INITIALIZED) {
        SetWindowTextW(window, WideFrom932("フォルダの指定").c_str());
        return 0;
    }
    // Only a selection change carries an item identifier list; the other
    // notifications carry texts or interfaces, never to be read as one.
    if (message != BFFM_SELCHANGED)
        return 0;
    // Only items with a file-system path may be chosen, whatever the flags
    // alone would allow.
    wchar_t folder[MAX_PATH];
    if (lParam && SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), folder)) {
        SendMessageW(window, BFFM_ENABLEOK, 0, 1);
        SendMessageW(window, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(folder));
    } else {
        SendMessageW(window, BFFM_ENABLEOK, 0, 0);
    }
    return 0;
}
