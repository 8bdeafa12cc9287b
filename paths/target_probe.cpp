#include "paths/target_probe.h"

#include "base/owned.h"
#include "system/native_file.h"
#include "paths/wide_paths.h"

// One open for writing and deleting answers both in the usual case; it fails
// the way the final rename would when another program holds the file. Wine
// lets a rename replace a read-only file, so that attribute is checked here
// as Windows would refuse it.
DWORD ProbeTarget(const std::wstring& target, DWORD& attributes)
{
    const std::wstring path = LongPathForm(target);
    Handle handle;
    if (OpenFile(FileOpen::ProbeReplace, FilePlace(path), handle)) {
        FILE_BASIC_INFO information;
        attributes = GetFileInformationByHandleEx(handle.Get(), FileBasicInfo, &information,
                                                  sizeof information)
                         ? information.FileAttributes
                         : GetFileAttributesW(path.c_str());
        return attributes & FILE_ATTRIBUTE_READONLY ? ERROR_ACCESS_DENIED : 0;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        attributes = INVALID_FILE_ATTRIBUTES;
        return 0;
    }
    // Read-only, a folder, or held by another program.
    attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || attributes == 0)
        return 0;
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_ACCESS_DENIED;
    return error ? error : ERROR_ACCESS_DENIED;
}

bool NamesSameFile(const std::wstring& a, const std::wstring& b)
{
    if (a.empty() || b.empty())
        return false;
    const std::wstring fullA = LongPathForm(a, MAX_PATH);
    const std::wstring fullB = LongPathForm(b, MAX_PATH);
    return !fullA.empty() && !fullB.empty() &&
           CompareStringOrdinal(fullA.c_str(), -1, fullB.c_str(), -1, TRUE) == CSTR_EQUAL;
}
