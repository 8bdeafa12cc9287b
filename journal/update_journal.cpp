#include "journal/update_journal.h"

#include <windows.h>
#include "base/hex_digits.h"
#include "system/native_file.h"
#include "paths/folder_listing.h"
#include "paths/wide_paths.h"
#include "paths/temporary_file.h"
#include "journal/journal_voucher.h"
#include <algorithm>

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

UpdateJournal::UpdateJournal() {}

UpdateJournal::~UpdateJournal() {}

bool UpdateJournal::Create(const std::wstring& installFolder, bool allOrNothing,
                           const std::vector<std::wstring>& folders)
{
    const std::wstring run = NewRun();
    const std::wstring name = kUpdaterPrefix + run + L".jnl";
    path_ = installFolder + L"\\" + name;
    folderKey_ = JournalFolderKey(installFolder);
    if (folderKey_.empty() ||
        !OpenFile(FileOpen::CreateNew, FilePlace(LongPathForm(installFolder, name.size() + 1), name), file_)) {
        path_.clear();
        return false;
    }
    contents_ = JournalContents();
    contents_.runPrefix = kUpdaterPrefix + run + L"-";
    contents_.allOrNothing = allOrNothing;
    contents_.folders = folders;
    std::vector<unsigned char> payload;
    PutJournalU32(payload, allOrNothing ? 1 : 0);
    PutJournalU32(payload, uint32_t(folders.size()));
    for (const std::wstring& folder : folders)
        PutJournalText(payload, folder);
    bytes_.assign(kJournalMagic, kJournalMagic + sizeof kJournalMagic);
    onDisk_ = 0;
    // The empty file first: a crash before its first bytes leaves a journal
    // that is ours and holds nothing.
    if (!VouchForJournal(folderKey_, name, Sha256::Of("", 0)) || !Append(kJournalFolders, payload)) {
        const DWORD error = GetLastError();
        Remove();
        SetLastError(error);
        return false;
    }
    return true;
}

bool UpdateJournal::Resume(const std::wstring& installFolder, const std::wstring& path,
                           const JournalContents& contents, const std::vector<char>& bytes)
{
    LARGE_INTEGER end;
    end.QuadPart = LONGLONG(contents.length);
    folderKey_ = JournalFolderKey(installFolder);
    if (!OpenFile(FileOpen::WriteExisting, FilePlace(LongPathForm(path)), file_))
        return false;
    bytes_.assign(bytes.begin(), bytes.begin() + std::min(bytes.size(), contents.length));
    onDisk_ = bytes_.size();
    // What follows the last whole record goes: vouched for first.
    if (!VouchForJournal(folderKey_, LeafOf(path), Sha256::Of(bytes_.data(), bytes_.size())) ||
        !SetFilePointerEx(file_.Get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file_.Get())) {
        const DWORD error = GetLastError();
        file_.Reset();
        SetLastError(error ? error : ERROR_ACCESS_DENIED);
        return false;
    }
    path_ = path;
    contents_ = contents;
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
        PutJournalBackup(payload, replacement.backupSize, replacement.backupDigest);
    }
    contents_.replacements = replacements;
    contents_.replacing = true;
    return Append(kJournalReplacing, payload);
}

bool UpdateJournal::WriteMadeFolders(const std::vector<std::wstring>& folders)
{
    std::vector<unsigned char> payload;
    PutJournalU32(payload, uint32_t(folders.size()));
    for (const std::wstring& folder : folders)
        PutJournalText(payload, folder);
    contents_.madeFolders.insert(contents_.madeFolders.end(), folders.begin(), folders.end());
    return Append(kJournalMadeFolders, payload);
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
    if (bytes_.size() + record.size() > kMaxJournal) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }
    const size_t before = bytes_.size();
    bytes_.insert(bytes_.end(), record.begin(), record.end());
    // Vouched for before it is written: the journal then holds the bytes
    // vouched for, or those before (the previous digest). What is not on
    // disk yet goes with it (a new journal's first bytes).
    DWORD written = 0;
    if (!VouchForJournal(folderKey_, LeafOf(path_), Sha256::Of(bytes_.data(), bytes_.size())) ||
        !WriteFile(file_.Get(), bytes_.data() + onDisk_, DWORD(bytes_.size() - onDisk_), &written, nullptr) ||
        written != bytes_.size() - onDisk_) {
        bytes_.resize(before);
        return false;
    }
    onDisk_ = bytes_.size();
    return FlushFileBuffers(file_.Get()) != 0;
}

void UpdateJournal::Remove()
{
    file_.Reset();
    if (!path_.empty() && (DeleteFileAt(FilePlace(LongPathForm(path_))) ||
                           GetFileAttributesW(LongPathForm(path_).c_str()) == INVALID_FILE_ATTRIBUTES))
        DropJournalVoucher(folderKey_);
    path_.clear();
}

void UpdateJournal::RemoveVouched(const std::wstring& installFolder, const std::wstring& path)
{
    UpdateJournal journal;
    journal.path_ = path;
    journal.folderKey_ = JournalFolderKey(installFolder);
    journal.Remove();
}

JournalFound ReadVouchedJournal(const std::wstring& installFolder, std::wstring& path,
                                JournalContents& contents, std::vector<char>& bytes)
{
    const std::wstring key = JournalFolderKey(installFolder);
    JournalVoucher voucher;
    if (!voucher.Read(key))
        return JournalNone;
    path = installFolder + L"\\" + voucher.journal;
    if (!IsJournalName(voucher.journal))
        return JournalUnvouched;
    switch (ReadWholeFile(FilePlace(LongPathForm(path)), kMaxJournal, bytes, FileOpen::ReadBesideWriters)) {
    case FileRead::Missing:
        DropJournalVoucher(key);
        return JournalGone;
    case FileRead::Done: break;
    default: return JournalUnvouched;
    }
    const bool parsed = ParseJournal(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                     voucher.journal.substr(0, 3 + kRunDigits) + L"-", contents);
    const bool whole = voucher.Matches(Sha256::Of(bytes.data(), bytes.size()));
    // A record cut short by a crash while it was written.
    const bool upToLastRecord =
        parsed && contents.length < bytes.size() && voucher.Matches(Sha256::Of(bytes.data(), contents.length));
    if (!whole && !upToLastRecord)
        return JournalUnvouched;
    return parsed ? JournalRead : JournalEmpty;
}

std::wstring RunFolderName(const std::wstring& runPrefix)
{
    return runPrefix.substr(0, runPrefix.size() - 1) + L".d";
}
