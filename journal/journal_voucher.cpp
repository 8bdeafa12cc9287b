#include "journal/journal_voucher.h"

#include "paths/wide_paths.h"
#include "system/native_file.h"
#include "system/updater_key.h"

namespace {

const size_t kMaxJournalName = 64;

}  // namespace

std::wstring JournalFolderKey(const std::wstring& installFolder)
{
    return FinalPathOf(FilePlace(LongPathForm(installFolder)));
}

bool JournalVoucher::Read(const std::wstring& folder)
{
    UpdaterEntry entry;
    if (folder.empty() || !entry.Open(kJournalsList, folder) ||
        !entry.ReadText(L"Journal", journal, kMaxJournalName) ||
        !entry.ReadBytes(L"Digest", digest.data(), DWORD(digest.size())))
        return false;
    hasPrevious = entry.ReadBytes(L"PreviousDigest", previous.data(), DWORD(previous.size()));
    return true;
}

bool JournalVoucher::Matches(const Sha256::Digest& bytes) const
{
    return bytes == digest || (hasPrevious && bytes == previous);
}

bool VouchForJournal(const std::wstring& folder, const std::wstring& journal,
                     const Sha256::Digest& digest)
{
    JournalVoucher before;
    const bool same = before.Read(folder) && before.journal == journal;
    UpdaterEntry entry;
    if (folder.empty() || !entry.Create(kJournalsList, folder) || !entry.WriteText(L"Journal", journal))
        return false;
    if (!same)
        RegDeleteValueW(entry.key.Get(), L"PreviousDigest");  // a new journal has none before it
    else if (!entry.WriteBytes(L"PreviousDigest", before.digest.data(), DWORD(before.digest.size())))
        return false;
    return entry.WriteBytes(L"Digest", digest.data(), DWORD(digest.size())) && entry.Flush();
}

void DropJournalVoucher(const std::wstring& folder)
{
    if (!folder.empty())
        UpdaterEntry::Remove(kJournalsList, folder);
}
