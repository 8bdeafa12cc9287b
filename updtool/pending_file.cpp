#include "updtool/pending_file.h"

#include "updtool/tool_error.h"

PendingFile::PendingFile(const std::wstring& target, const std::wstring& temporary)
    : target(target), temporary(temporary), committed_(false)
{
}

PendingFile::~PendingFile()
{
    if (committed_)
        return;
    const bool created = file.Valid();
    file.Close();
    if (created)
        DeleteFileW(temporary.c_str());
}

void PendingFile::Create(const std::string& what)
{
    // A stale temporary file of an earlier run that was stopped is replaced;
    // a hidden or read-only one would make CREATE_ALWAYS fail.
    SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    file.Reset(CreateFileW(temporary.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        ThrowSystemError("cannot create the temporary file for " + what);
}

bool PendingFile::Commit(bool replace, const std::string& what)
{
    if (!FlushFileBuffers(file.handle.Get()))
        ThrowSystemError("cannot write " + what + " to disk");
    file.Close();
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (MoveFileExW(temporary.c_str(), target.c_str(), flags)) {
        committed_ = true;
        return true;
    }
    const DWORD error = GetLastError();
    DeleteFileW(temporary.c_str());
    committed_ = true;  // nothing left to delete
    if (!replace && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS))
        return false;
    throw ToolError(SystemErrorText("cannot put " + what + " in place", error));
}
