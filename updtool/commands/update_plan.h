#pragma once
// What the updater does, started in an update folder (the current folder)
// with a destination: before its dialog it reads the settings (a failure
// ends the run in its error box), creates the instance event (a failure ends
// it silently) and refuses items that leave their folders (the error box);
// then it takes each item's step (update/item_step.h), strictly item by
// item. The steps are the updater's own; this only counts what they give.

#include <cstdint>
#include <string>
#include <vector>
#include "update/item_step.h"
#include "updtool/folders/update_folder.h"

enum PlanOutcome {
    OutcomeCompletes,  // every item done, the completion box
    OutcomePrompts,    // the user is asked at least once
    OutcomeNothing,    // nothing applied, and still the completion box
    OutcomeError,      // the error box
    OutcomeSilent,     // the run ends at once without a word
};

class PlannedItem {
public:
    ItemStep step;
    ItemLocation where;  // judged items: where the shipped item is found
    bool reached;        // false: after the end of the run, not judged
    std::string reason;  // UTF-8

    PlannedItem(const char* item, const std::wstring& target)
        : step(item, target), reached(false) {}
    virtual ~PlannedItem() {}
};

class UpdatePlan {
public:
    std::vector<PlannedItem> items;
    PlanOutcome outcome = OutcomeCompletes;
    std::string stopMessage;  // OutcomeError: the error box's message; OutcomeSilent:
                              // why (UTF-8)
    int stoppedAt = -1;       // the item the run ended at; -1 before any
    bool afterDialog = false; // stoppedAt -1: the run ends after its dialog, before the
                              // first item
    DWORD eventError = 0;     // creating the instance event: ERROR_ALREADY_EXISTS (a
                              // run holds it, no end), or why the run ends silently
    bool allOrNothing = false;  // AllOrNothing=1: nothing stays applied after a failure
    size_t appliedItems = 0;    // the items whose step is VerdictApply
    uint64_t appliedBytes = 0;  // the applied items' sizes, summed: with AllOrNothing=1,
                                // the room their copies take beside the install folder
    uint64_t neededBytes = 0;   // the sizes of every item whose decision passes
    uint64_t freeBytes = UINT64_MAX;  // free on the install folder's disk; UINT64_MAX unknown

    virtual ~UpdatePlan() {}

    // The steps before the dialog. False when the run ends there.
    bool BeforeDialog(const UpdateFolder& folder);
    // The run ends in the error box before any item.
    void Refuse(const std::string& message, bool afterDialog);
    // Every item's step, copied to destination (a full path; empty: no
    // target is looked at). throughStops: the items after the run's end
    // (also an end before the dialog) are judged too, for a check of every
    // item; else they are not reached.
    void Items(const UpdateSettings& settings, const std::wstring& destination,
               bool throughStops = false);

private:
    void Stop(int item, const std::string& message);
};

// Why a step came out as it did, in the publisher's words (UTF-8). where:
// the item's location when known; else a missing item is looked up.
std::string StepReason(const ItemStep& step, const ItemLocation* where = nullptr);
