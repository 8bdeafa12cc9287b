#pragma once
// The signed side of an update folder as check, plan and verify show it:
// the manifest, the keys it is held to, and the first refusal the updater
// would make, as the run's walk (update/run_walk.h) met it. Nothing is
// written.
//
// Keys: those given with --keys stand for the product's UpdateKeys (its
// UpdateSequence still read from the registry); without --keys, the anchor
// the registry holds, if any.

#include <string>
#include <vector>
#include "system/p256_key.h"
#include "update/run_walk.h"
#include "updtool/console/command_line.h"
#include "updtool/console/command_report.h"

// --keys, as each command's usage text lists it.
#define KEYS_OPTION_USAGE                                                                \
    "  --keys KEYS          check update.sig under KEYS, as if the product's\n"         \
    "                       installer had written them (UpdateKeys): public keys\n"     \
    "                       separated by \";\", or a .reg file as keygen prints it;\n" \
    "                       without it, the keys of the product's registry entry\n"

// The keys given with --keys (KEY[;KEY...] or a .reg file holding
// "UpdateKeys"), read as the updater reads UpdateKeys.
class GivenKeys {
public:
    bool given = false;
    std::vector<P256PublicKey> keys;

    virtual ~GivenKeys() {}

    // Takes --keys of line. A usage error's exit code, or 0.
    int Take(const char* command, const CommandLine& line);
    // What the walk takes: the keys, or null for the registry's.
    const std::vector<P256PublicKey>* ForWalk() const { return given ? &keys : nullptr; }
};

// The refusal as an error of problems (a settings failure without a
// manifest aside, which check tells itself).
void AddSignedProblem(const RunWalk& walk, Problems& problems);

// The "signed" object: manifest, keys, signature, refusal; nothing when
// neither the folder nor the product takes part in signing (no manifest, no
// keys, no refusal).
void RenderSigned(const RunWalk& walk, const GivenKeys& keys, Report& report);

// verify DIR: the signed checks of an update folder alone, every one the
// updater makes. The exit code.
int VerifyFolder(const CommandLine& line);
