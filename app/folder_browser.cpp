#include "app/folder_browser.h"

#include <shlobj.h>
#include "base/owned.h"

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
    String buffer(260);
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)))
        return;
    const Owned<IMalloc*, ReleaseAllocator> shell(allocator);
    if (!shell.Valid())
        return;

    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = buffer.text;
    info.lpszTitle = prompt;
    info.ulFlags = browseFlags;
    info.lpfn = BrowseCallback;
    info.lParam = 0;

    const Owned<PIDLIST_ABSOLUTE, FreeItem> chosen(SHBrowseForFolderA(&info));
    if (chosen.Valid() && SHGetPathFromIDListA(chosen.Get(), buffer.text))
        folder.path.Assign(buffer.text);
}

// Works on a fixed local buffer only, so nothing here can throw into the
// platform's browser.
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM lParam, LPARAM /*data*/)
{
    if (message == BFFM_INITIALIZED) {
        SetWindowTextA(window, "フォルダの指定");
        return 0;
    }
    // Only a selection change carries an item identifier list; the other
    // notifications carry texts or interfaces, never to be read as one.
    if (message != BFFM_SELCHANGED)
        return 0;
    // Only items with a file-system path may be chosen, whatever the flags
    // alone would allow.
    char folder[MAX_PATH];
    if (lParam && SHGetPathFromIDListA(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), folder)) {
        SendMessageA(window, BFFM_ENABLEOK, 0, 1);
        SendMessageA(window, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(folder));
    } else {
        SendMessageA(window, BFFM_ENABLEOK, 0, 0);
    }
    return 0;
}
