#include "updtool/commands/commands.h"

#include "updtool/signing/folder_signing.h"

const char* const signUsage =
    "usage: updtool sign FOLDER --key KEYFILE --sequence N [--expires DATE]\n"
    "                   [--trust-key KEY]... [--revoke-key KEY]...\n"
    "Writes update.manifest and update.sig into FOLDER, a finished update\n"
    "folder: the settings and every item as the updater reads them, each with\n"
    "its size and SHA-256, signed with KEYFILE (from keygen, or openssl's PEM).\n"
    "A product whose installed key holds the public key then installs only\n"
    "these bytes; any product refuses a damaged item.\n"
    "  --sequence N      1 to 4294967295; the updater refuses an update below the\n"
    "                    last one it applied, so number each release higher\n"
    "  --expires DATE    YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ (UTC): refused after it\n"
    "  --trust-key KEY   a public key (128 hex digits) the product trusts after\n"
    "                    this update\n"
    "  --revoke-key KEY  a public key it no longer trusts (never its last one)\n"
    "Exit codes: 0 written, 1 refused (an item missing or refused, nothing\n"
    "written), 2 bad usage or a file that cannot be read or written.\n";

const OptionSpecs signOptions = WithSignOptions({});

int RunSign(const CommandLine& line)
{
    if (line.positional.size() != 1)
        return UsageError("sign", "give one FOLDER");
    SignRequest request;
    if (int code = ReadSignRequest("sign", line, request))
        return code;
    return SignFolder("sign", request, PathArgument(line.positional[0]), false);
}
