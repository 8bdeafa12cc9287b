#pragma once
// What vouches for a run's journal: the journal lies in the install folder,
// which users may write, so it is acted on only when the updater's own key
// in the registry (system/updater_key.h, list Journals) names it for that
// folder and holds the SHA-256 of its bytes. The run writes and flushes the
// digest its journal will have before each append, keeping the one before
// as the previous digest: a crash between the two writes still finds a
// match.

#include <string>
#include "system/sha256.h"

// The folder's final path (every link resolved), as entries are kept; ""
// when the folder cannot be opened.
std::wstring JournalFolderKey(const std::wstring& installFolder);

class JournalVoucher {
public:
    std::wstring journal;          // the journal's name in the folder
    Sha256::Digest digest = {};    // its bytes as last flushed
    Sha256::Digest previous = {};  // before that (zeros: none)
    bool hasPrevious = false;

    virtual ~JournalVoucher() {}

    // The entry for folder (a final path). False when there is none, or it
    // is not in its form.
    bool Read(const std::wstring& folder);
    // Whether bytes are what it vouches for: the digest or the previous one.
    bool Matches(const Sha256::Digest& bytes) const;
};

// Stores that folder's journal `journal` will hold bytes of this digest,
// the digest it held so far becoming the previous one (a new journal: none),
// and flushes it. False (the system's error) when the key cannot be written.
bool VouchForJournal(const std::wstring& folder, const std::wstring& journal,
                     const Sha256::Digest& digest);

// Removes folder's entry, once its journal is gone.
void DropJournalVoucher(const std::wstring& folder);
