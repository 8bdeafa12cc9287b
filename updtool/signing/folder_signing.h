#pragma once
// Signing a finished update folder, as sign and make do it: the options both
// take, read and judged before anything is written, then update.manifest and
// update.sig written beside update.ini.
//   --key KEYFILE --sequence N [--expires DATE] [--trust-key KEY]...
//   [--revoke-key KEY]...

#include <string>
#include <vector>
#include "system/p256_key.h"
#include "trust/update_manifest.h"
#include "updtool/console/command_line.h"

class SignRequest {
public:
    UpdateManifest manifest;  // sequence, expires, trust and revoke keys
    P256PublicKey publicKey = {};
    P256Secret secret = {};

    // Wipes the secret.
    virtual ~SignRequest();
};

// specs and the signing options (--key, --sequence, --expires, --trust-key,
// --revoke-key).
OptionSpecs WithSignOptions(OptionSpecs specs);
// Whether line gives any of them.
bool SignWanted(const CommandLine& line);
// Reads them and the key file. A usage error's exit code, or 0; raises
// ToolError for a key file that cannot be read or is no key.
int ReadSignRequest(const char* command, const CommandLine& line, SignRequest& request);
// Signs folder, reading the settings and items as the updater does. An exit
// code (a refusal told on standard error, nothing written); unless quiet,
// what was signed, one line on standard output.
int SignFolder(const char* command, SignRequest& request, const std::wstring& folder, bool quiet);
