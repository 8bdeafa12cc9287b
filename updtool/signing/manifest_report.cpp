#include "updtool/signing/manifest_report.h"

#include <windows.h>
#include <sstream>
#include "base/shown_text.h"
#include "trust/update_anchor.h"
#include "updtool/folders/update_folder.h"
#include "updtool/folders/working_folder.h"
#include "updtool/signing/key_file.h"

int GivenKeys::Take(const char* command, const CommandLine& line)
{
    const std::wstring* value = line.Value("--keys");
    if (!value)
        return 0;
    given = true;
    std::wstring list = *value;
    P256PublicKey one;
    // Not a key and no list of keys: the name of a .reg file.
    if (list.find(L';') == std::wstring::npos && !ParsePublicKey(Utf8(list), one)) {
        const std::string text = RegFileKeys(FullPath(PathArgument(*value)));
        if (text.empty())
            return UsageError(command, "--keys " + Shown(*value) +
                                           " is neither a public key nor a .reg file with \"UpdateKeys\"");
        list.assign(text.begin(), text.end());
    }
    // Read as the updater reads UpdateKeys; what it cannot read is named.
    if (ParseKeyList(list, keys))
        return 0;
    std::wstringstream entries(list);
    for (std::wstring entry; std::getline(entries, entry, L';');)
        if (!ParseKeyList(entry, keys) && entry.find_first_not_of(L' ') != std::wstring::npos)
            return UsageError(command, "--keys: \"" + Utf8(entry) + "\" is not a public key (128 hex digits)");
    return UsageError(command, "--keys gives no key");
}

namespace {

// The updater's first signed refusal: the signed checks' own, or the
// settings' bytes not the manifest's.
SignedRefusal SignedRefusalOf(const RunWalk& walk)
{
    SignedRefusal refusal = walk.signedUpdate.Refusal();
    // With a manifest, every load of the settings is held to it: a load
    // that fails ends the signed run as a refusal.
    if (!refusal.refused && walk.signedUpdate.Manifest() && walk.end.kind == EndErrorBox &&
        walk.end.stage == StageSettings) {
        refusal.refused = true;
        refusal.code = walk.end.code;
        refusal.message = walk.end.message;
    }
    return refusal;
}

// Whether the folder or the product takes part in signing: a manifest, keys
// or a refusal.
bool SignedPresent(const RunWalk& walk, const GivenKeys& keys)
{
    const UpdateAnchor* anchor = walk.signedUpdate.Anchor();
    return walk.signedUpdate.Manifest() || keys.given || (anchor && anchor->present) ||
           SignedRefusalOf(walk).refused;
}

// The code as the error box shows it: "0x570".
std::string BoxCode(DWORD code)
{
    char text[16];
    snprintf(text, sizeof text, "0x%x", unsigned(code));
    return text;
}

}  // namespace

void AddSignedProblem(const RunWalk& walk, Problems& problems)
{
    const SignedRefusal refusal = walk.signedUpdate.Refusal();
    if (refusal.refused)
        problems.Error("the updater refuses the update " +
                       std::string(refusal.afterDialog ? "after its dialog, before it writes anything"
                                                       : "before its dialog") +
                       ", with its error box \"" + Utf8(refusal.message) + "\" (code " +
                       BoxCode(refusal.code) + ")");
}

void RenderSigned(const RunWalk& walk, const GivenKeys& given, Report& report)
{
    if (!SignedPresent(walk, given))
        return;
    const SignedRefusal refusal = SignedRefusalOf(walk);
    report.Begin("signed", false, "");
    const UpdateManifest* manifest = walk.signedUpdate.Manifest();
    report.Field("manifest", ReportValue::Flag(manifest != nullptr),
                 manifest ? "manifest: product \"" + Utf8(manifest->product) + "\", version \"" +
                                Utf8(manifest->version) + "\", sequence " +
                                std::to_string(manifest->sequence) + ", " +
                                (manifest->expires ? "expires " + ManifestTimeText(manifest->expires)
                                                   : std::string("no expiry")) +
                                ", " + Plural(manifest->files.size(), "item", "items") + ", " +
                                Plural(manifest->trustKeys.size(), "key", "keys") + " to trust, " +
                                Plural(manifest->revokeKeys.size(), "key", "keys") + " to revoke"
                          : "manifest: none (no update.manifest in the folder)");
    if (manifest) {
        report.Field("product", ReportValue::Text(Utf8(manifest->product)), "");
        report.Field("version", ReportValue::Text(Utf8(manifest->version)), "");
        report.Field("sequence", ReportValue::Number(manifest->sequence), "");
        report.Field("expires", manifest->expires ? ReportValue::Text(ManifestTimeText(manifest->expires))
                                                  : ReportValue::Null(), "");
        report.Field("items", ReportValue::Number(int64_t(manifest->files.size())), "");
    }
    // Where the keys came from: the JSON word, and the line after their count.
    const char* const keySources[][2] = {
        {"unknown", "not looked at: the run ends before the signature's check"},
        {"given", " given with --keys"},
        {"registry", " in the product's registry entry"},
        {"none", "none (give --keys): the product has no anchor, so the updater checks sizes and "
                 "digests only"}};
    const UpdateAnchor* anchor = walk.signedUpdate.Anchor();
    const size_t from = !anchor ? 0 : given.given ? 1 : anchor->present ? 2 : 3;
    std::string keysLine = "keys: " +
                           (from == 1 || from == 2 ? Plural(anchor->keys.size(), "key", "keys")
                                                   : std::string()) +
                           keySources[from][1];
    if (anchor && anchor->present)
        keysLine += anchor->sequence ? "; the product's last signed update: sequence " +
                                           std::to_string(anchor->sequence)
                                     : std::string("; the product applied no signed update yet");
    report.Field("keys", ReportValue::Text(keySources[from][0]), keysLine);
    const bool verified = walk.signedUpdate.SignatureVerified();
    const bool badSignature = refusal.refused && refusal.code == DWORD(NTE_BAD_SIGNATURE);
    report.Field("signature",
                 ReportValue::Text(verified ? "verified" : badSignature ? "refused" : "not checked"),
                 std::string("signature: ") +
                     (verified       ? "update.sig verifies under a trusted key"
                      : badSignature ? "update.sig verifies under none of the keys"
                                     : "not checked"));
    const std::string message = Utf8(refusal.message);
    report.Field("refused", ReportValue::Flag(refusal.refused),
                 refusal.refused ? "signed check: the updater refuses: \"" + message + "\" (code " +
                                       BoxCode(refusal.code) + ")"
                                 : "signed check: passed");
    report.Field("message", refusal.refused ? ReportValue::Text(message) : ReportValue::Null(), "");
    report.Field("code", refusal.refused ? ReportValue::Number(refusal.code) : ReportValue::Null(), "");
    report.End();
}

int VerifyFolder(const CommandLine& line)
{
    GivenKeys keys;
    if (int code = keys.Take("verify", line))
        return code;
    const std::wstring dir = PathArgument(line.positional[0]);
    WorkingFolder working;
    if (!working.Enter(dir))
        throw ToolError("cannot enter the folder " + Shown(dir));
    UpdateSettings settings;
    RunWalk walk(RunPlans, settings);
    walk.BeforeDialog(keys.ForWalk());
    // A refused item ends the run too, but leaves the signed checks to tell.
    const std::string failure = SettingsFailure(walk);
    if (!failure.empty() && !SignedRefusalOf(walk).refused)
        return Fail("verify", "update.ini cannot be read as the updater reads it: " + failure, ExitProblems);
    if (walk.signedUpdate.Anchor())
        walk.AfterDialog(std::wstring());
    if (!SignedPresent(walk, keys))
        return Fail("verify", "the folder has no update.manifest and its product no keys: nothing "
                              "to verify (give --keys to require a signature)",
                    ExitProblems);
    Report report(line.json);
    RenderSigned(walk, keys, report);
    report.Write();
    return SignedRefusalOf(walk).refused ? ExitProblems : ExitOk;
}
