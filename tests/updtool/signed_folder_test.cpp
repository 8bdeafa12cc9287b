// A signed update folder as the publisher's tool judges it: make signs what
// it makes; check, plan and verify tell the refusal the updater would make,
// in its own words and code (the same sentences the end-to-end test sees in
// the updater's error box).

#include <gtest/gtest.h>
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "system/p256_key.h"
#include "tests/support/scratch_dir.h"
#include "tests/updtool/tool_runner.h"
#include "trust/update_manifest.h"
#include "trust/update_signature.h"
#include "updtool/signing/key_file.h"

namespace {

const wchar_t* const productKey = L"SOFTWARE\\SignToolTest\\Folder";

class SignedFolderTest : public ::testing::Test {
protected:
    SignedFolderTest() : update(scratch.Path("update")), key(scratch.Path("key.pem"))
    {
        GenerateP256Key(publisher, secret);
        WriteFileBytes(key, PrivateKeyPem(publisher, secret));
        P256Secret strangerSecret;
        GenerateP256Key(stranger, strangerSecret);
        ClearAnchor();
    }
    ~SignedFolderTest() override { ClearAnchor(); }

    // The update, signed by the tool at sequence 5.
    void MakeSignedFolder()
    {
        RemoveTree(update);
        WriteFileBytes(update + "\\update.ini",
                       "[update]\r\nBrand=SignToolTest\r\nName=Folder\r\nVersion=1.0\r\nfile=a.txt;b.txt\r\n");
        WriteFileBytes(update + "\\a.txt", "new a");
        WriteFileBytes(update + "\\b.txt", "new b");
        const ToolResult run = RunTool({"sign", update, "--key", key, "--sequence", "5"}, scratch.Path());
        ASSERT_EQ(0, run.exitCode) << run.err;
    }

    // The manifest changed by edit, signed again with the publisher's key.
    void Resign(const std::function<void(UpdateManifest&)>& edit)
    {
        const std::string before = ReadFileBytes(update + "\\update.manifest");
        UpdateManifest manifest;
        ASSERT_TRUE(ParseManifest(before.data(), before.size(), manifest));
        edit(manifest);
        const std::string text = ManifestText(manifest);
        const P256Signature signature = SignP256(publisher, secret, Sha256::Of(text.data(), text.size()));
        WriteFileBytes(update + "\\update.manifest", text);
        WriteFileBytes(update + "\\update.sig", std::string(signature.begin(), signature.end()));
    }

    void SetAnchor(const std::string& keys, DWORD sequence)
    {
        HKEY product = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, productKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &product, nullptr));
        const std::wstring text = Wide(keys);
        RegSetValueExW(product, L"UpdateKeys", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       DWORD((text.size() + 1) * sizeof(wchar_t)));
        RegSetValueExW(product, L"UpdateSequence", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&sequence),
                       sizeof sequence);
        RegCloseKey(product);
    }
    void ClearAnchor()
    {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, productKey);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\SignToolTest");
    }

    ScratchDir scratch;
    std::string update, key;
    P256PublicKey publisher, stranger;
    P256Secret secret;
};

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST_F(SignedFolderTest, CheckPlanAndVerifyTellTheUpdatersRefusal)
{
    const std::string altered = u8" が壊れているか、書き換えられています。";
    const std::string ours = PublicKeyText(publisher), theirs = PublicKeyText(stranger);
    const struct {
        const char* what;
        std::function<void()> make;  // after MakeSignedFolder
        std::string keys;            // --keys; "" for the registry's anchor
        bool afterDialog;
        std::string code, text;      // the error box; "" when the updater goes on
    } rows[] = {
        {"verified", [] {}, ours, false, "", ""},
        {"an unknown key", [] {}, theirs, false, "0x80090006", u8"アップデートの署名が正しくありません。"},
        {"a changed item", [&] { WriteFileBytes(update + "\\b.txt", "new c"); }, ours, true, "0x570",
         u8"ファイル b.txt" + altered},
        {"a missing item", [&] { DeleteFileW(Wide(update + "\\b.txt").c_str()); }, ours, true, "0x2",
         u8"ファイル b.txt が見つかりません。"},
        {"an unlisted item", [&] { Resign([](UpdateManifest& m) { m.files.pop_back(); }); }, ours, false,
         "0x490", u8"ファイル b.txt が update.manifest にありません。"},
        {"the settings changed",
         [&] { WriteFileBytes(update + "\\update.ini", ReadFileBytes(update + "\\update.ini") + ";\r\n"); },
         ours, false, "0x570", u8"ファイル update.ini" + altered},
        {"expired", [&] { Resign([](UpdateManifest& m) { m.expires = 20200101000000u; }); }, ours, false,
         "0x800b0101", u8"このアップデートは有効期限が切れています。"},
        {"a lower sequence than the anchor's", [&] { SetAnchor(ours, 9); }, "", false, "0x666",
         u8"これより新しいアップデートが適用済みです。"},
        {"the registry's anchor verifies", [&] { SetAnchor(ours, 5); }, "", false, "", ""},
    };
    for (const auto& row : rows) {
        ClearAnchor();
        MakeSignedFolder();
        row.make();
        std::vector<std::string> keys;
        if (!row.keys.empty())
            keys = {"--keys", row.keys};
        const bool refused = !row.code.empty();
        const std::string verdict = refused ? u8"signed check: the updater refuses: \"" + row.text +
                                                  "\" (code " + row.code + ")\n"
                                            : "signed check: passed\n";

        std::vector<std::string> args = {"check", update};
        args.insert(args.end(), keys.begin(), keys.end());
        const ToolResult check = RunTool(args, scratch.Path());
        EXPECT_EQ(refused ? 1 : 0, check.exitCode) << row.what << ": " << check.out << check.err;
        EXPECT_TRUE(Has(check.out, verdict)) << row.what << ": " << check.out;

        args = {"plan", update, "--dest", scratch.Path("install")};
        args.insert(args.end(), keys.begin(), keys.end());
        const ToolResult plan = RunTool(args, scratch.Path());
        EXPECT_EQ(refused ? 1 : 0, plan.exitCode) << row.what << ": " << plan.err;
        EXPECT_TRUE(Has(plan.out, verdict)) << row.what << ": " << plan.out;
        const std::string outcome =
            !refused ? "outcome: the updater applies 2 items"
                     : std::string("outcome: the updater ends ") +
                           (row.afterDialog ? "after its dialog, before it writes anything,"
                                            : "before its dialog") +
                           " with its error box: \"" + row.text + "\"\n";
        EXPECT_TRUE(Has(plan.out, outcome)) << row.what << ": " << plan.out;

        args = {"verify", update};
        args.insert(args.end(), keys.begin(), keys.end());
        const ToolResult verify = RunTool(args, scratch.Path());
        EXPECT_EQ(refused ? 1 : 0, verify.exitCode) << row.what << ": " << verify.err;
        EXPECT_TRUE(Has(verify.out, verdict)) << row.what << ": " << verify.out;
    }
}

TEST_F(SignedFolderTest, KeysComeAsAListOrARegFile)
{
    MakeSignedFolder();
    const std::string ours = PublicKeyText(publisher), theirs = PublicKeyText(stranger);
    const std::string reg = "Windows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\SignToolTest\\Folder]\r\n"
                            "\"UpdateKeys\"=\"" + theirs + ";" + ours + "\"\r\n";
    WriteFileBytes(scratch.Path("keys.reg"), reg);
    std::string utf16 = "\xff\xfe";
    for (char c : reg)
        utf16 += std::string(1, c) + '\0';
    WriteFileBytes(scratch.Path("regedit.reg"), utf16);
    WriteFileBytes(scratch.Path("empty.reg"), "Windows Registry Editor Version 5.00\r\n");
    const struct {
        std::string keys;
        int exitCode;
        std::string says;
    } rows[] = {
        {theirs + " ; " + ours, 0, "keys: 2 keys given with --keys"},
        {theirs, 1, "signature: update.sig verifies under none of the keys"},
        {scratch.Path("keys.reg"), 0, "signature: update.sig verifies under a trusted key"},
        {scratch.Path("regedit.reg"), 0, "signature: update.sig verifies under a trusted key"},
        {scratch.Path("empty.reg"), 2, "is neither a public key nor a .reg file"},
        {ours + ";abc", 2, "--keys: \"abc\" is not a public key"},
    };
    for (const auto& row : rows) {
        const ToolResult run = RunTool({"verify", update, "--keys", row.keys}, scratch.Path());
        EXPECT_EQ(row.exitCode, run.exitCode) << row.keys << ": " << run.err;
        EXPECT_TRUE(Has(run.out + run.err, row.says)) << row.keys << ": " << run.out << run.err;
    }
}

TEST_F(SignedFolderTest, MakeSignsWhatItMakes)
{
    WriteFileBytes(scratch.Path("old\\a.txt"), "old a");
    WriteFileBytes(scratch.Path("new\\a.txt"), "new a");
    WriteFileBytes(scratch.Path("new\\b.txt"), "new b");
    const std::string out = scratch.Path("out");
    const std::vector<std::string> names = {"make", scratch.Path("old"), scratch.Path("new"), out,
                                            "--brand", "SignToolTest", "--name", "Folder", "--version", "1.0"};
    const struct {
        const char* what;
        std::vector<std::string> sign;
        int exitCode;
        bool written;
    } rows[] = {
        {"no --sequence", {"--key", key}, 2, false},
        {"a key file that is none", {"--key", scratch.Path("old\\a.txt"), "--sequence", "3"}, 2, false},
        {"an expiry past", {"--key", key, "--sequence", "3", "--expires", "2001-01-01"}, 2, false},
        {"signed", {"--key", key, "--sequence", "3", "--expires", "2099-01-01"}, 0, true},
    };
    for (const auto& row : rows) {
        RemoveTree(out);
        std::vector<std::string> args = names;
        args.insert(args.end(), row.sign.begin(), row.sign.end());
        const ToolResult run = RunTool(args, scratch.Path());
        EXPECT_EQ(row.exitCode, run.exitCode) << row.what << ": " << run.err;
        EXPECT_EQ(row.written, FileExists(out + "\\update.ini")) << row.what;
    }
    const ToolResult made = RunTool({"verify", out, "--keys", PublicKeyText(publisher)}, scratch.Path());
    EXPECT_EQ(0, made.exitCode) << made.out << made.err;
    EXPECT_TRUE(Has(made.out, "sequence 3, expires 2099-01-01T00:00:00Z, 2 items")) << made.out;

    // What the updater's readers take from it.
    const std::string text = ReadFileBytes(out + "\\update.manifest");
    const std::string sig = ReadFileBytes(out + "\\update.sig");
    UpdateManifest manifest;
    ASSERT_TRUE(ParseManifest(text.data(), text.size(), manifest));
    EXPECT_EQ(L"SignToolTest\\Folder", manifest.product);
    const std::vector<P256Signature> forms =
        ReadSignature(reinterpret_cast<const unsigned char*>(sig.data()), sig.size());
    ASSERT_FALSE(forms.empty());
    EXPECT_TRUE(VerifyP256(publisher, Sha256::Of(text.data(), text.size()), forms[0]));
}
