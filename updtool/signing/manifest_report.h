#pragma once
// The signed side of an update folder (trust/signed_update.h) as check,
// plan and verify show it: the manifest, the keys it is held to, and the
// first refusal the updater would make. Every judgement is the updater's own
// SignedUpdate, taken in the updater's order from inside the folder; nothing
// is written.
//
// Keys: those given with --keys stand for the product's UpdateKeys (its
// UpdateSequence still read from the registry); without --keys, the anchor
// the registry holds, if any.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "trust/signed_update.h"
#include "updtool/commands/update_plan.h"
#include "updtool/console/command_line.h"
#include "updtool/console/command_report.h"
#include "updtool/console/problem.h"
#include "updtool/folders/update_folder.h"

// --keys, as each command's usage text lists it.
#define KEYS_OPTION_USAGE                                                                \
    "  --keys KEYS          check update.sig under KEYS, as if the product's\n"         \
    "                       installer had written them (UpdateKeys): public keys\n"     \
    "                       separated by \";\", or a .reg file as keygen prints it;\n" \
    "                       without it, the keys of the product's registry entry\n"

// verify DIR: the signed checks of an update folder alone, every one the
// updater makes. The exit code.
int VerifyFolder(const CommandLine& line);

class ManifestReport {
public:
    bool refused;
    bool afterDialog;     // refused by the sources' check
    std::string message;  // the error box's message (UTF-8)
    uint32_t code;        // and its code

    ManifestReport();
    virtual ~ManifestReport();

    // Takes --keys of line: KEY[;KEY...] or a .reg file holding "UpdateKeys".
    // A usage error's exit code, or 0.
    int TakeKeys(const char* command, const CommandLine& line);
    // Reads update.manifest, then folder (UpdateFolder::Read) held to it, as
    // the updater reads them.
    void Read(UpdateFolder& folder);
    // Each step false once the updater refuses; plan (when given) then ends
    // in that refusal's box.
    bool Loaded(UpdatePlan* plan);
    bool BeforeDialog(const UpdateSettings& settings, UpdatePlan* plan);
    bool Sources(const std::vector<String>& items, UpdatePlan* plan);

    // Whether the folder or the product takes part: a manifest, keys or a
    // refusal. When not, Render shows nothing.
    bool Present() const;
    // The refusal as an error of problems (settings read failures aside,
    // which check tells itself).
    void AddProblem(Problems& problems) const;
    // The "signed" object: manifest, keys, signature, refusal.
    void Render(Report& report) const;

    // The code as the error box shows it: "0x570".
    std::string CodeText() const;

private:
    // Takes step unless refused already; a refusal it raises is kept, and
    // told to plan when given. False once refused.
    bool Attempt(const std::function<void()>& step, bool afterDialog, UpdatePlan* plan);

    SignedUpdate update_;
    bool keysGiven_;
    std::vector<P256PublicKey> keys_;
    UpdateAnchor anchor_;  // what BeforeDialog held the manifest to
    bool checked_;         // BeforeDialog ran
    bool settingsFailure_;  // refused as the settings were read
};
