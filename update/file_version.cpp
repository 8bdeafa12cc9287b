#include "update/file_version.h"

#include <windows.h>

#include "base/buffer.h"
#include "base/text_932.h"
#include "system/version_library.h"

void GetFileVersionText(const char* path, String& result)
{
    GetFileVersionText(WideFrom932(path), result);
}

void GetFileVersionText(const std::wstring& path, String& result)
{
    const VersionLibrary& library = VersionLibrary::Get();
    DWORD unused = 0;
    const DWORD size = library.getFileVersionInfoSize(path.c_str(), &unused);
    if (size == 0)
        return;

    Buffer block(size);
    library.getFileVersionInfo(path.c_str(), 0, size, block.data);

    void* translation = nullptr;
    UINT translationLength = 0;
    if (!library.verQueryValue(block.data, L"\\VarFileInfo\\Translation", &translation,
                               &translationLength))
        return;
    // A table too short for one pair is treated as no table.
    if (!translation || translationLength < 2 * sizeof(WORD))
        return;
    const WORD* pair = static_cast<const WORD*>(translation);

    String name;
    name.Format("\\StringFileInfo\\%04x%04x\\FileVersion", unsigned(pair[0]),
                unsigned(pair[1]));

    void* answer = nullptr;
    UINT answerLength = 0;
    library.verQueryValue(block.data, WideFrom932(name).c_str(), &answer, &answerLength);
    if (answer)
        ShownIn932(static_cast<const wchar_t*>(answer), result);
}
