#include "updtool/signing/manifest_report.h"

#include <windows.h>
#include <sstream>
#include "base/exceptions.h"
#include "updtool/signing/key_file.h"
#include "updtool/console/report_text.h"
#include "updtool/console/text_conversion.h"
#include "updtool/console/tool_error.h"
#include "updtool/folders/working_folder.h"

ManifestReport::ManifestReport()
    : refused(false), afterDialog(false), code(0), keysGiven_(false), checked_(false), settingsFailure_(false)
{
}

ManifestReport::~ManifestReport() {}

int ManifestReport::TakeKeys(const char* command, const CommandLine& line)
{
    const std::wstring* given = line.Value("--keys");
    if (!given)
        return 0;
    keysGiven_ = true;
    std::wstring list = *given;
    P256PublicKey one;
    // Not a key and no list of keys: the name of a .reg file.
    if (list.find(L';') == std::wstring::npos && !ParsePublicKey(Utf8(list), one)) {
        const std::string value = RegFileKeys(FullPath(PathArgument(*given)));
        if (value.empty())
            return UsageError(command, "--keys " + Shown(*given) +
                                           " is neither a public key nor a .reg file with \"UpdateKeys\"");
        list.assign(value.begin(), value.end());
    }
    // Read as the updater reads UpdateKeys; an entry it would pass over is a
    // mistake here.
    std::wstringstream entries(list);
    std::wstring entry;
    while (std::getline(entries, entry, L';'))
        if (ParseKeyList(entry).empty())
            return UsageError(command, "--keys: \"" + Utf8(entry) + "\" is not a public key (128 hex digits)");
    keys_ = ParseKeyList(list);
    if (keys_.empty())
        return UsageError(command, "--keys gives no key");
    return 0;
}

bool ManifestReport::Attempt(const std::function<void()>& step, bool afterDialog,
                             UpdatePlan* plan)
{
    if (refused)
        return false;
    try {
        step();
        return true;
    } catch (const OCErrorException& failure) {
        refused = true;
        this->afterDialog = afterDialog;
        message = Utf8(failure.wideMessage);
        code = failure.code;
        if (plan)
            plan->Refuse(message, afterDialog);
        return false;
    }
}

void ManifestReport::Read(UpdateFolder& folder)
{
    Attempt([this] { update_.LoadManifest(); }, false, nullptr);
    folder.Read();
    if (!refused && update_.Manifest() && !folder.readFailure.empty()) {
        refused = settingsFailure_ = true;
        message = folder.readFailure;
        code = folder.readFailureCode;
    }
}

bool ManifestReport::Loaded(UpdatePlan* plan)
{
    if (settingsFailure_)
        return true;  // the settings' read failure ends the plan itself
    if (refused && plan)
        plan->Refuse(message, false);
    return !refused;
}

bool ManifestReport::BeforeDialog(const UpdateSettings& settings, UpdatePlan* plan)
{
    if (refused)
        return false;
    ReadUpdateAnchor(settings, anchor_);
    if (keysGiven_) {
        anchor_.present = true;
        anchor_.keys = keys_;
    }
    checked_ = true;
    return Attempt([&] { update_.CheckBeforeDialog(settings, anchor_); }, false, plan);
}

bool ManifestReport::Sources(const std::vector<String>& items, UpdatePlan* plan)
{
    return Attempt([&] { update_.CheckSources(items, nullptr, nullptr, nullptr); }, true, plan);
}

bool ManifestReport::Present() const
{
    return update_.Manifest() || anchor_.present || refused;
}

void ManifestReport::AddProblem(Problems& problems) const
{
    if (refused && !settingsFailure_)
        problems.Error("the updater refuses the update " +
                       std::string(afterDialog ? "after its dialog, before it writes anything"
                                               : "before its dialog") +
                       ", with its error box \"" + message + "\" (code " + CodeText() + ")");
}

std::string ManifestReport::CodeText() const
{
    char text[16];
    snprintf(text, sizeof text, "0x%x", unsigned(code));
    return text;
}

void ManifestReport::Render(Report& report) const
{
    if (!Present())
        return;
    report.Begin("signed", false, "");
    const UpdateManifest* manifest = update_.Manifest();
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
    const size_t from = !checked_ ? 0 : keysGiven_ ? 1 : anchor_.present ? 2 : 3;
    std::string keysLine = "keys: " +
                           (from == 1 || from == 2 ? Plural(anchor_.keys.size(), "key", "keys")
                                                   : std::string()) +
                           keySources[from][1];
    if (checked_ && anchor_.present)
        keysLine += anchor_.sequence ? "; the product's last signed update: sequence " +
                                           std::to_string(anchor_.sequence)
                                     : std::string("; the product applied no signed update yet");
    report.Field("keys", ReportValue::Text(keySources[from][0]), keysLine);
    const bool verified = update_.SignatureVerified();
    const bool badSignature = refused && code == DWORD(NTE_BAD_SIGNATURE);
    report.Field("signature",
                 ReportValue::Text(verified ? "verified" : badSignature ? "refused" : "not checked"),
                 std::string("signature: ") +
                     (verified       ? "update.sig verifies under a trusted key"
                      : badSignature ? "update.sig verifies under none of the keys"
                                     : "not checked"));
    report.Field("refused", ReportValue::Flag(refused),
                 refused ? "signed check: the updater refuses: \"" + message + "\" (code " +
                               CodeText() + ")"
                         : "signed check: passed");
    report.Field("message", refused ? ReportValue::Text(message) : ReportValue::Null(), "");
    report.Field("code", refused ? ReportValue::Number(code) : ReportValue::Null(), "");
    report.End();
}

int VerifyFolder(const CommandLine& line)
{
    ManifestReport signedCheck;
    if (int code = signedCheck.TakeKeys("verify", line))
        return code;
    const std::wstring dir = PathArgument(line.positional[0]);
    WorkingFolder working;
    if (!working.Enter(dir))
        throw ToolError("cannot enter the folder " + Shown(dir));
    UpdateFolder folder;
    signedCheck.Read(folder);
    if (!signedCheck.refused && !folder.readFailure.empty())
        return Fail("verify", "update.ini cannot be read as the updater reads it: " + folder.readFailure,
                    ExitProblems);
    if (signedCheck.BeforeDialog(folder.settings, nullptr))
        signedCheck.Sources(folder.settings.files, nullptr);
    if (!signedCheck.Present())
        return Fail("verify", "the folder has no update.manifest and its product no keys: nothing "
                              "to verify (give --keys to require a signature)",
                    ExitProblems);
    Report report(line.Has("--json"));
    signedCheck.Render(report);
    report.Write();
    return signedCheck.refused ? ExitProblems : ExitOk;
}
