#pragma once
// One run, stage by stage, as both programs follow it. The updater takes
// every stage and writes; the publisher's tool takes the same stages and
// writes nothing, to tell what the updater would do. The stages:
//
//   settings          update.manifest first (from then on every load of
//                     update.ini is held to it), then Brand, Name, Title and
//                     Version
//   single instance   the event named by Name: when another updater holds it
//                     or it cannot be made, the run ends at once, silently
//   item list         the key file made into records (paths/item_record.h):
//                     an item the item rule refuses ends the run in its error
//                     box, naming the item
//   signed checks     signature, product, version, sequence, expiry and the
//                     list against the manifest (trust/signed_update.h)
//   install location  the folder the registry records, or the program-files
//                     folder with a notice (update/install_lookup.h)
//   recovery          what interrupted runs left in that folder is finished
//                     (the updater only)
//   dialog            the user confirms or changes the folder: the updater's
//                     own window, between BeforeDialog and AfterDialog
//   folder binding    a folder that received a signed update takes only its
//                     product's signed updates
//   recovery          again, in the confirmed folder (the updater only)
//   items             every record's target and decision, taken once; a
//                     signed update's sources checked; then each record in
//                     turn (the copy is the updater's own)
//
// A refusal ends the run in its error box: the updater raises it as
// OCErrorException (the run's one handler shows it); the tool's walk keeps
// it in `end` and goes on with the stages that can still be told.

#include <cstdint>
#include <string>
#include <vector>
#include "base/owned.h"
#include "base/string.h"
#include "paths/item_record.h"
#include "settings/update_settings.h"
#include "trust/signed_update.h"
#include "update/replacement_run.h"
#include "update/room_check.h"

// The exit codes of an unattended run (the updater's /silent), as
// deployment tools expect them.
const int kExitFinished = 0;   // finished, also when every item was skipped
const int kExitBusy = 1618;    // another updater runs, or a running program holds a target
const int kExitFailed = 1603;  // every other failure or refusal

enum RunStage {
    StageSettings,
    StageInstance,
    StageItemList,
    StageSignedChecks,
    StageInstallLocation,
    StageDialog,
    StageSources,
    StageItems,
    StageDone,
};

enum RunMode {
    RunWrites,  // the updater
    RunPlans,   // the publisher's tool: nothing is written, no window shown
};

enum RunEndKind {
    EndGoesOn,    // nothing ended the run (yet)
    EndSilent,    // at once, without a window: the instance event
    EndErrorBox,  // the error box
};

// How the run ends, as far as the walk knows: the first end met.
class RunEnd {
public:
    RunEndKind kind = EndGoesOn;
    RunStage stage = StageSettings;  // the stage that ended it
    int item = -1;                   // StageItems: the record it stops at
    DWORD code = 0;                  // the box's code; EndSilent: the event's error
    std::wstring message;            // the box's message

    virtual ~RunEnd() {}
};

class RunWalk {
public:
    UpdateSettings& settings;  // the run's, read by the settings stage
    SignedUpdate signedUpdate;
    std::vector<ItemRecord> items;
    std::wstring installFolder;  // proposed, then as confirmed
    String notice;               // when the registry records no install folder
    std::wstring givenFolder;    // the install folder an administrator gave
                                 // (/dir=): taken in place of the registry's
    DWORD eventError = 0;        // creating the instance event: 0, or why not
                                 // (ERROR_ALREADY_EXISTS: another updater runs)
    RunEnd end;
    RunTally tally;              // what the items stage did
    // The tool: the volumes whose room the updater will ask for before its
    // first write (AfterDialog).
    std::vector<VolumeRoom> shortRooms;

    // settings: assigned their initial values here.
    RunWalk(RunMode mode, UpdateSettings& settings);
    RunWalk(const RunWalk&) = delete;
    RunWalk& operator=(const RunWalk&) = delete;
    // Closes the instance event.
    virtual ~RunWalk();

    // The stages up to the dialog. False when the run ends before it.
    // keys: the tool's stand-in for the product's UpdateKeys (null: the
    // registry's anchor as it is). The updater raises a refusal; the tool
    // keeps it in `end`, and still finds the install location and the
    // records, for a check of every item.
    bool BeforeDialog(const std::vector<P256PublicKey>* keys = nullptr);

    // The confirmed folder (UTF-16, as the system gave it): recovery there
    // (the updater), each record's target and decision. The tool also checks
    // the signed sources and predicts each record's whole turn, the copy's
    // prompt included, and the volumes short of room; the first Stop ends
    // the run there. The updater raises only what is not a
    // refusal; its refusals come at their items' turns.
    void AfterDialog(const std::wstring& folder);

    // The bytes the records to be copied hold (Apply).
    uint64_t AppliedBytes() const;
    // Free on the install folder's disk when AfterDialog ran; UINT64_MAX when
    // unknown.
    uint64_t FreeBytes() const { return freeBytes_; }

private:
    // Takes step as stage. The updater lets a refusal pass; the tool keeps
    // the first in `end` and says whether the step went through.
    template <typename Step>
    bool Take(RunStage stage, Step step);
    void EndInBox(RunStage stage, DWORD code, const std::wstring& message, int item = -1);
    // Recovery in folder, once per folder.
    void Recover(const std::wstring& folder);

    RunMode mode_;
    Handle instance_;
    std::wstring recovered_;
    uint64_t freeBytes_ = UINT64_MAX;
};
