#pragma once
// What the updater does, started in an update folder (the current folder)
// with a destination, followed step by step as its run sequence takes them:
// before its dialog it reads the settings (a failure ends the run in its
// error box), creates the instance event (a failure ends it silently) and
// refuses items that leave their folders (the error box); then, strictly
// item by item, it skips missing items, decides by version texts (a damaged
// archive met on the way ends the run), checks an archive it is about to
// apply (a damaged one ends the run), and copies, asking the user (Abort,
// Retry, Ignore) when the source cannot be opened or the target cannot be
// replaced. Items before a failure stay applied; with AllOrNothing=1 every
// copy is first written beside its target, so the copies must find room
// there together, and a failure puts every target back.
//
// The decisions are the updater's own functions; only the reasons for its
// open prompt are predicted here from what lies at the source and target
// now, as the updater checks them when it copies.

#include <cstdint>
#include <string>
#include <vector>
#include "update/update_decision.h"
#include "updtool/update_folder.h"

enum PlannedAction {
    ActionApply,       // copied
    ActionSkip,        // left as it is
    ActionMissing,     // not a file of the update folder: skipped
    ActionPrompt,      // the updater asks; Ignore skips it, Abort ends the run
    ActionStop,        // the run ends here in the error box
    ActionNotReached,  // after the end of the run
};
const char* ActionName(PlannedAction action);

enum PlanOutcome {
    OutcomeCompletes,  // every item done, the completion box
    OutcomePrompts,    // the user is asked at least once
    OutcomeNothing,    // nothing applied, and still the completion box
    OutcomeError,      // the error box
    OutcomeSilent,     // the run ends at once without a word
};
const char* OutcomeName(PlanOutcome outcome);

class PlannedItem {
public:
    std::string item;  // as listed (code page 932)
    std::wstring target;
    ItemKind kind;
    PlannedAction action;
    std::string sourceVersion, targetVersion;  // code page 932; "" when none
    std::string reason;                        // UTF-8
    uint64_t size;                             // the source's, when applied

    PlannedItem();
    virtual ~PlannedItem();
};

class UpdatePlan {
public:
    std::vector<PlannedItem> items;
    PlanOutcome outcome;
    std::string stopMessage;  // OutcomeError: the error box's message; OutcomeSilent:
                              // why (UTF-8)
    int stoppedAt;            // the item the run ended at; -1 before any
    bool allOrNothing;        // AllOrNothing=1: nothing stays applied after a failure
    uint64_t appliedBytes;    // the applied items' sizes, summed: with AllOrNothing=1,
                              // the room their copies take beside the install folder
    uint64_t freeBytes;       // free on the install folder's disk; UINT64_MAX unknown

    UpdatePlan();
    virtual ~UpdatePlan();

    // The steps before the dialog. False when the run ends there.
    bool BeforeDialog(const UpdateFolder& folder);
    // The items, copied to destination (a full path). Call after
    // BeforeDialog returned true.
    void Items(const UpdateSettings& settings, const std::wstring& destination);
    // Marks every item not reached (when the run ends before the items).
    void NotReached(const UpdateSettings& settings);

private:
    void Stop(int item, const std::string& message);
    void Finish();
};
