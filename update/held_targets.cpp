#include "update/held_targets.h"

#include <windows.h>
#include <restartmanager.h>
#include <tlhelp32.h>
#include <algorithm>
#include "base/owned.h"
#include "paths/wide_paths.h"
#include "system/native_file.h"

namespace {

bool Held(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_USER_MAPPED_FILE;
}

void AddOnce(std::vector<std::wstring>& names, const std::wstring& name)
{
    for (const std::wstring& known : names)
        if (CompareStringOrdinal(known.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL)
            return;
    names.push_back(name);
}

// The running programs whose image lies in folder.
void ProgramsRunningFrom(const std::wstring& folder, std::vector<std::wstring>& programs)
{
    const std::wstring prefix = FullPathOf(folder) + (EndsWithSeparator(folder) ? L"" : L"\\");
    const Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.Valid())
        return;
    PROCESSENTRY32W process = {};
    process.dwSize = sizeof process;
    for (bool more = Process32FirstW(snapshot.Get(), &process); more;
         more = Process32NextW(snapshot.Get(), &process)) {
        if (process.th32ProcessID == GetCurrentProcessId())
            continue;
        const Handle opened(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process.th32ProcessID));
        wchar_t image[MAX_PATH * 4];
        DWORD length = sizeof image / sizeof *image;
        if (!opened.Valid() || !QueryFullProcessImageNameW(opened.Get(), 0, image, &length) ||
            length <= prefix.size() ||
            CompareStringOrdinal(image, int(prefix.size()), prefix.c_str(), int(prefix.size()), TRUE) != CSTR_EQUAL)
            continue;
        AddOnce(programs, LeafOf(std::wstring(image, length)));
    }
}

// What Restart Manager names as holding files.
void ProgramsHolding(const std::vector<std::wstring>& files, std::vector<std::wstring>& programs)
{
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (RmStartSession(&session, 0, key) != ERROR_SUCCESS)
        return;
    std::vector<LPCWSTR> names;
    for (const std::wstring& file : files)
        names.push_back(file.c_str());
    UINT needed = 0, count = 0;
    DWORD reasons = 0;
    std::vector<RM_PROCESS_INFO> found;
    if (RmRegisterResources(session, UINT(names.size()), names.data(), 0, nullptr, 0, nullptr) == ERROR_SUCCESS &&
        RmGetList(session, &needed, &count, nullptr, &reasons) == ERROR_MORE_DATA && needed > 0) {
        found.resize(needed);
        count = needed;
        if (RmGetList(session, &needed, &count, found.data(), &reasons) == ERROR_SUCCESS)
            for (UINT i = 0; i < count && i < found.size(); ++i)
                AddOnce(programs, found[i].strAppName);
    }
    RmEndSession(session);
}

}  // namespace

HeldTargets FindHeldTargets(const std::vector<ItemRecord>& records, const std::wstring& installFolder)
{
    HeldTargets held;
    for (const ItemRecord& record : records) {
        if (record.verdict != VerdictApply || record.target.empty())
            continue;
        Handle probe;
        if (!OpenFile(FileOpen::ProbeReplace, FilePlace(LongPathForm(record.target)), probe) && Held(GetLastError()))
            held.files.push_back(record.target);
    }
    if (held.files.empty())
        return held;
    ProgramsRunningFrom(installFolder, held.programs);
    ProgramsHolding(held.files, held.programs);
    return held;
}
