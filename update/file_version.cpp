#include "update/file_version.h"

#include <windows.h>

#include "base/buffer.h"

void GetFileVersionText(const char* path, String& result)
{
    DWORD unused = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &unused);
    if (size == 0)
        return;

    Buffer block(size);
    GetFileVersionInfoA(path, 0, size, block.data);

    void* translation = nullptr;
    UINT translationLength = 0;
    if (!VerQueryValueA(block.data, "\\VarFileInfo\\Translation", &translation,
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
    VerQueryValueA(block.data, name.text, &answer, &answerLength);
    if (answer)
        result.Assign(static_cast<const char*>(answer));
}
