#pragma once
// The file replacements of one run in an install folder, under a journal
// (update_journal.h) so that an interruption can be cleaned up by the next
// run:
//
// - item by item (the default): each item takes its target's place as soon
//   as it is copied; a failure leaves the items before it applied;
// - all or nothing: every item is first written completely beside its
//   target, then all take their places, the old files kept under a second
//   name until the last one is in; a failure, an Abort, or a replacement
//   that does not succeed puts every target back to its old bytes (new
//   targets are removed). Every rename replaces a target in one step, so a
//   target always holds its old or its new bytes, whenever the run ends.
//
// Nothing is ever written anywhere but the install folder.

#include <map>
#include <memory>
#include <string>
#include <vector>
#include "base/string.h"
#include "paths/item_record.h"
#include "update/apply_update.h"
#include "paths/folder_guard.h"
#include "paths/open_failure.h"
#include "journal/update_journal.h"

// What a run did, for the last line of its record.
class RunTally {
public:
    uint64_t applied = 0;  // items put in place
    uint64_t added = 0;    // of them, new to the install folder
    uint64_t skipped = 0;  // items not put in place (kept, missing, left as they were)
    uint64_t bytes = 0;    // written into copies

    virtual ~RunTally() {}

    // "3 items applied (1 added), 2 skipped, 1,234 bytes written"
    std::string Summary() const;
};

class ReplacementRun {
public:
    // items: the run's records (names below both folders, none refused), to
    // know its folders.
    // tally: counts what the run puts in place and leaves as it was.
    ReplacementRun(const std::wstring& installFolder, const std::vector<ItemRecord>& items,
                   bool allOrNothing, RunTally& tally);
    ReplacementRun(const ReplacementRun&) = delete;
    ReplacementRun& operator=(const ReplacementRun&) = delete;
    // Not committed: an all-or-nothing update puts every target back. The
    // run's files and its journal are removed. Never raises.
    virtual ~ReplacementRun();

    // One item whose decision passed: copied from the update folder to the
    // same name below the install folder, as ApplyUpdateFile does (force,
    // attributes but read-only), and put in place now, or (all or nothing)
    // kept ready. A link on the way below the install folder, or as the
    // target, ends the run (kRefusedItemText) before anything is written
    // there. Raises what ApplyUpdateFile raises; all or nothing, Ignore
    // at a prompt raises too, as Abort does: no item may be left out.
    // held, mustMatch: the source as PrepareUpdateFile takes them.
    void Apply(const ItemRecord& item, ProgressFunction progress, void* user, HANDLE held = nullptr,
               const Sha256::Digest* mustMatch = nullptr);

    // All or nothing: every copy kept ready takes its target's place, or all
    // targets are put back and the failure is raised (a rename that does not
    // succeed asks as an open does; Ignore counts as Abort). Item by item:
    // nothing more to do.
    void Commit();

private:
    bool EnsureJournal();
    // Raises, before a rename in folder, when a held folder on its way was
    // moved away (Wine allows it): as a link on item's way, or (no item) as
    // a write failure.
    void RefuseMovedFolders(const std::wstring& folder, const String& item) const;
    void ReplaceAll();
    void RollBack();

    std::wstring folder_;
    bool allOrNothing_;
    FolderGuard guard_;
    std::vector<std::wstring> folders_;
    std::vector<std::wstring> made_;  // folders the run made, as they were made
    UpdateJournal journal_;
    std::vector<std::unique_ptr<PreparedCopy>> ready_;
    std::vector<JournalReplacement> plan_;     // per copy kept ready
    std::map<std::wstring, size_t> staged_;    // copies per folder so far
    bool committed_;
    bool keepJournal_;
    RunTally& tally_;
    std::unique_ptr<IgnoreAborts> ignoreAborts_;  // all or nothing: for the run's life
};
