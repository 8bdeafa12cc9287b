#include "journal/update_journal.h"

#include <windows.h>
#include "base/hex_digits.h"
#include "system/native_file.h"
#include "paths/folder_listing.h"
#include "paths/wide_paths.h"
#include "paths/temporary_file.h"

namespace {

const size_t kRunDigits = 16;
// No run writes a larger journal (one that would have to ends before it
// replaces anything), so a larger file is not ours and is not read: a
// journal planted to hold up the updater is bounded in what it costs.
const uint64_t kMaxJournal = 64u << 20;

// upd<16 hex digits>.jnl
bool IsJournalName(const std::wstring& name)
{
    if (name.size() != 3 + kRunDigits + 4 || name.compare(0, 3, kUpdaterPrefix) != 0 ||
        name.compare(3 + kRunDigits, 4, L".jnl") != 0)
        return false;
    for (size_t i = 3; i < 3 + kRunDigits; ++i)
        if (!IsHexDigit(name[i]))
            return false;
    return true;
}

// A number no earlier run in this folder is likely to have had.
std::wstring NewRun()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    uint64_t x = uint64_t(counter.QuadPart) ^ (uint64_t(now.dwHighDateTime) << 32 | now.dwLowDateTime) ^
                 (uint64_t(GetCurrentProcessId()) << 40);
    // splitmix64's finaliser spreads the bits over all the digits.
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    return HexDigits(x, kRunDigits);
}

}  // namespace

UpdateJournal::UpdateJournal() : size_(0) {}

UpdateJournal::~UpdateJournal() {}

bool UpdateJournal::Create(const std::wstring& installFolder, bool allOrNothing,
                           const std::vector<std::wstring>& folders)
{
    const std::wstring run = NewRun();
    const std::wstring name = kUpdaterPrefix + run + L".jnl";
    path_ = installFolder + L"\\" + name;
    if (!OpenFile(FileOpen::CreateNew, FilePlace(LongPathForm(installFolder, name.size() + 1), name),
                  file_))
        return false;
    contents_ = JournalContents();
    contents_.runPrefix = kUpdaterPrefix + run + L"-";
    contents_.allOrNothing = allOrNothing;
    contents_.folders = folders;
    DWORD written = 0;
    std::vector<unsigned char> payload;
    PutJournalU32(payload, allOrNothing ? 1 : 0);
    PutJournalU32(payload, uint32_t(folders.size()));
    for (const std::wstring& folder : folders)
        PutJournalText(payload, folder);
    size_ = sizeof kJournalMagic;
    if (!WriteFile(file_.Get(), kJournalMagic, sizeof kJournalMagic, &written, nullptr) ||
        written != sizeof kJournalMagic || !Append(kJournalFolders, payload)) {
        Remove();
        return false;
    }
    return true;
}

bool UpdateJournal::Resume(const std::wstring& path, const JournalContents& contents)
{
    LARGE_INTEGER end;
    end.QuadPart = LONGLONG(contents.length);
    if (!OpenFile(FileOpen::WriteExisting, FilePlace(LongPathForm(path)), file_))
        return false;
    if (!SetFilePointerEx(file_.Get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file_.Get())) {
        const DWORD error = GetLastError();
        file_.Reset();
        SetLastError(error ? error : ERROR_ACCESS_DENIED);
        return false;
    }
    path_ = path;
    contents_ = contents;
    size_ = contents.length;
    return true;
}

bool UpdateJournal::WriteReplacing(const std::vector<JournalReplacement>& replacements)
{
    std::vector<unsigned char> payload;
    PutJournalU32(payload, uint32_t(replacements.size()));
    for (const JournalReplacement& replacement : replacements) {
        PutJournalText(payload, replacement.target);
        PutJournalText(payload, replacement.copy);
        PutJournalText(payload, replacement.backup);
    }
    contents_.replacements = replacements;
    contents_.replacing = true;
    return Append(kJournalReplacing, payload);
}

bool UpdateJournal::WriteMark(JournalRecord kind)
{
    if (kind == kJournalComplete)
        contents_.complete = true;
    if (kind == kJournalRollingBack)
        contents_.rollingBack = true;
    return Append(kind, std::vector<unsigned char>());
}

bool UpdateJournal::Append(JournalRecord kind, const std::vector<unsigned char>& payload)
{
    if (!file_.Valid()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    const std::vector<unsigned char> record = JournalRecordBytes(kind, payload);
    if (size_ + record.size() > kMaxJournal) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }
    DWORD written = 0;
    if (!WriteFile(file_.Get(), record.data(), DWORD(record.size()), &written, nullptr) ||
        written != record.size())
        return false;
    size_ += record.size();
    return FlushFileBuffers(file_.Get()) != 0;
}

void UpdateJournal::Remove()
{
    file_.Reset();
    if (!path_.empty())
        DeleteFileAt(FilePlace(LongPathForm(path_)));
    path_.clear();
}

bool ReadJournal(const std::wstring& path, JournalContents& contents)
{
    const std::wstring name = LeafOf(path);
    std::vector<char> bytes;
    return IsJournalName(name) &&
           ReadWholeFile(FilePlace(LongPathForm(path)), kMaxJournal, bytes,
                         FileOpen::ReadBesideWriters) == FileRead::Done &&
           ParseJournal(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                        name.substr(0, 3 + kRunDigits) + L"-", contents);
}

std::vector<std::wstring> JournalsIn(const std::wstring& folder)
{
    std::vector<std::wstring> journals;
    for (FolderListing list(LongPathForm(folder + L"\\" + kUpdaterPrefix + L"*.jnl")); list.Next();)
        if (!(list.Entry().dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
            IsJournalName(list.Name()))
            journals.push_back(folder + L"\\" + list.Name());
    return journals;
}

std::wstring RunFolderName(const std::wstring& runPrefix)
{
    return runPrefix.substr(0, runPrefix.size() - 1) + L".d";
}
