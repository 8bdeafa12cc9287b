#include "paths/temporary_file.h"

#include "base/exceptions.h"
#include "base/hex_digits.h"
#include "base/messages.h"
#include "system/native_file.h"
#include "system/run_log.h"
#include "paths/wide_paths.h"

namespace {

// The name's room behind the folder: backslash, prefix, four digits, ".tmp".
const size_t kNameRoom = 24;

}  // namespace

TemporaryFile::TemporaryFile() : committed_(false) {}

TemporaryFile::~TemporaryFile()
{
    Discard();
}

bool TemporaryFile::Create(const std::wstring& folder, const wchar_t* prefix)
{
    return Create(folder, prefix, nullptr);
}

bool TemporaryFile::Create(const std::wstring& folder, const wchar_t* prefix, HANDLE held)
{
    Discard();
    const std::wstring base = LongPathForm(folder, kNameRoom);
    if (base.empty())
        return false;
    static unsigned counter = GetTickCount() ^ GetCurrentProcessId();
    for (int tries = 0; tries < 0x10000; ++tries) {
        const unsigned number = ++counter & 0xFFFF;
        const std::wstring leaf = prefix + HexDigits(number, 4) + L".tmp";
        const FilePlace place = held ? FilePlace(held, base, leaf) : FilePlace(base, leaf);
        path_ = place.Path();
        held_ = held;
        leaf_ = leaf;
        if (OpenFile(FileOpen::CreateProvisional, place, handle_)) {
            committed_ = false;
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    const DWORD error = GetLastError();
    path_.clear();
    SetLastError(error);
    return false;
}

void TemporaryFile::Write(const void* bytes, uint32_t n)
{
    DWORD written = 0;
    if (!WriteFile(handle_.Get(), bytes, n, &written, nullptr) || written != n) {
        if (GetLastError() == 0)
            SetLastError(ERROR_DISK_FULL);
        LogFailure("WriteFile", path_, GetLastError());
        throw OCErrorException(kWriteFailedText);
    }
}

bool TemporaryFile::Flush()
{
    return FlushFileBuffers(handle_.Get()) != 0;
}

bool TemporaryFile::RenameOver(const std::wstring& target, bool replace)
{
    const std::wstring to = LongPathForm(target);
    return !to.empty() && RenameOver(FilePlace(to), replace);
}

bool TemporaryFile::RenameOver(const FilePlace& target, bool replace)
{
    if (!RenameOpenFile(handle_, Place(), target, replace))
        return false;
    committed_ = true;
    return true;
}

FilePlace TemporaryFile::Place() const
{
    return held_ ? FilePlace(held_, path_.substr(0, path_.size() - leaf_.size()), leaf_) : FilePlace(path_);
}

void TemporaryFile::Discard()
{
    if (committed_ || !handle_.Valid()) {
        Close();
        return;
    }
    DeleteOpenFile(handle_);
    Close();
    const FilePlace place = Place();
    if (ExistsAt(place) && !DeleteFileAt(place) && !held_)
        MoveFileExW(path_.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    path_.clear();
    held_ = nullptr;
}
