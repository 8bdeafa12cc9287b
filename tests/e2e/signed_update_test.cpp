// Signed updates: with an anchor in the product's key, the updater installs
// only what a trusted key signed; with a manifest alone it still catches a
// damaged download. Every signature here is made by the system's own
// signing, as the publisher's tool makes it.

#include "tests/e2e/e2e_fixture.h"

#include <functional>
#include "app/resource_ids.h"
#include "system/p256_key.h"
#include "trust/update_anchor.h"
#include "trust/signed_update.h"
#include "trust/update_manifest.h"
#include "tests/support/folder_link.h"

namespace {

class SignedUpdateTest : public E2ETest {
protected:
    SignedUpdateTest()
    {
        GenerateP256Key(publisher, secret);
        Prepare();
    }

    // Both items shipped new and installed old, no manifest, no anchor.
    void Prepare()
    {
        for (const char* item : {"a.txt", "b.txt"}) {
            Ship(item, std::string("new ") + item);
            Installed(item, std::string("old ") + item);
        }
        WriteIni("a.txt;b.txt");
        DeleteFileW(Wide(ShippedPath("update.manifest")).c_str());
        DeleteFileW(Wide(ShippedPath("update.sig")).c_str());
        HKEY key = OpenProductKey();
        RegDeleteValueW(key, L"UpdateKeys");
        RegDeleteValueW(key, L"UpdateSequence");
        RegCloseKey(key);
    }

    HKEY OpenProductKey()
    {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide("SOFTWARE\\" + brand + "\\" + name).c_str(),
                                                 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        return key;
    }

    // What the publisher lists: the shipped update.ini and items as they
    // are now.
    UpdateManifest Listed(uint32_t sequence = 7, const std::vector<std::string>& items = {"a.txt", "b.txt"})
    {
        UpdateManifest manifest;
        manifest.product = Wide(brand + "\\" + name);
        manifest.version = L"2.0";
        manifest.sequence = sequence;
        const std::string ini = ReadFileBytes(ShippedPath("update.ini"));
        manifest.settingsSize = ini.size();
        manifest.settingsDigest = Sha256::Of(ini.data(), ini.size());
        for (const std::string& item : items) {
            const std::string bytes = ReadFileBytes(ShippedPath(item));
            ManifestFile file;
            file.item = Wide(item);
            file.size = bytes.size();
            file.digest = Sha256::Of(bytes.data(), bytes.size());
            manifest.files.push_back(file);
        }
        return manifest;
    }

    void Sign(const UpdateManifest& manifest, const P256PublicKey& key, const P256Secret& with)
    {
        const std::string text = ManifestText(manifest);
        const P256Signature signature = SignP256(key, with, Sha256::Of(text.data(), text.size()));
        Ship("update.manifest", text);
        Ship("update.sig", std::string(signature.begin(), signature.end()));
    }
    void Sign(const UpdateManifest& manifest) { Sign(manifest, publisher, secret); }

    void SetAnchor(const std::wstring& keys, DWORD sequence)
    {
        HKEY key = OpenProductKey();
        RegSetValueExW(key, L"UpdateKeys", 0, REG_SZ, reinterpret_cast<const BYTE*>(keys.c_str()),
                       DWORD((keys.size() + 1) * sizeof(wchar_t)));
        RegSetValueExW(key, L"UpdateSequence", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&sequence),
                       sizeof sequence);
        RegCloseKey(key);
    }
    void SetAnchor(DWORD sequence = 5) { SetAnchor(KeyListText({publisher}), sequence); }

    DWORD StoredSequence()
    {
        HKEY key = OpenProductKey();
        DWORD sequence = 0, size = sizeof sequence;
        RegQueryValueExW(key, L"UpdateSequence", nullptr, nullptr, reinterpret_cast<BYTE*>(&sequence), &size);
        RegCloseKey(key);
        return sequence;
    }
    std::wstring StoredKeys()
    {
        HKEY key = OpenProductKey();
        wchar_t text[1024] = {};
        DWORD size = sizeof text - sizeof(wchar_t);
        RegQueryValueExW(key, L"UpdateKeys", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(key);
        return text;
    }

    std::string Installed2() { return ReadFileBytes(InstalledPath("a.txt")) + "|" + ReadFileBytes(InstalledPath("b.txt")); }

    static std::string ErrorBox(const std::string& code, const std::string& text)
    {
        return BoxLine(u8"エラー", u8"エラーが発生しました。\nCode " + code + " :" + text);
    }

    // Installs the update of an openssl fixture folder under its anchor.
    void RunOpensslSigned(const std::string& fixture);

    P256PublicKey publisher;
    P256Secret secret;
};

}  // namespace

TEST_F(SignedUpdateTest, AppliesASignedUpdateAndRecordsIt)
{
    P256PublicKey next;
    P256Secret nextSecret;
    GenerateP256Key(next, nextSecret);
    UpdateManifest manifest = Listed(7);
    manifest.expires = 29991231235959u;
    manifest.trustKeys.push_back(next);
    Sign(manifest);
    SetAnchor(5);
    SessionOptions options;
    const std::string record = scratch.Path("run.log");
    options.arguments = L"\"/log=" + Wide(record) + L"\"";

    const SessionResult run = RunSession(UpdaterExe(), update, {Press(IDOK), Press(IDOK)}, options);

    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install), BoxLine(kCaption, kDone)}));
    ExpectCleanEnd(run);
    EXPECT_EQ("new a.txt|new b.txt", Installed2());
    EXPECT_EQ(7u, StoredSequence());
    EXPECT_EQ(KeyListText({publisher, next}), StoredKeys());
    // The record tells a support reader each stage the update passed.
    const std::string log = ReadFileBytes(record);
    for (const char* stage : {"update.manifest read: product \"QuillmarkE2E\\", "anchor holds 1 key, last sequence 5",
                              "update.sig verified under a trusted key", "2 sources match their sizes and digests",
                              "UpdateSequence 7 and 2 keys stored"})
        EXPECT_NE(std::string::npos, log.find(stage)) << stage << "\n" << log;
}

TEST_F(SignedUpdateTest, RevokingEveryKeyLeavesTheListAsItWas)
{
    UpdateManifest manifest = Listed(5);  // the same sequence again is allowed
    manifest.revokeKeys.push_back(publisher);
    Sign(manifest);
    SetAnchor(5);

    const SessionResult run = Run({Press(IDOK), Press(IDOK)});

    ExpectCleanEnd(run);
    EXPECT_EQ("new a.txt|new b.txt", Installed2());
    EXPECT_EQ(KeyListText({publisher}), StoredKeys());
}

// Each refusal, with nothing written: the items stay old and the anchor as
// it was.
TEST_F(SignedUpdateTest, RefusalsWriteNothing)
{
    P256PublicKey stranger;
    P256Secret strangerSecret;
    GenerateP256Key(stranger, strangerSecret);
    const std::string altered = u8" が壊れているか、書き換えられています。";
    const struct {
        const char* what;
        std::function<void()> make;  // after Prepare
        bool afterDialog;
        std::string code, text;
    } rows[] = {
        {"a byte changed in an item",
         [&] { Sign(Listed()); SetAnchor(); Ship("b.txt", "new b.txx"); },
         true, "0x570", u8"ファイル b.txt" + altered},
        {"an item grown by a byte",
         [&] { Sign(Listed()); SetAnchor(); Ship("a.txt", "new a.txt!"); },
         true, "0x570", u8"ファイル a.txt" + altered},
        {"an item missing",
         [&] { Sign(Listed()); SetAnchor(); DeleteFileW(Wide(ShippedPath("b.txt")).c_str()); },
         true, "0x2", u8"ファイル b.txt が見つかりません。"},
        {"an item not in the manifest",
         [&] { UpdateManifest m = Listed(); m.files.pop_back(); Sign(m); SetAnchor(); },
         false, "0x490", u8"ファイル b.txt が update.manifest にありません。"},
        {"a file line for no item",
         [&] {
             UpdateManifest m = Listed();
             m.files.push_back(m.files.back());
             m.files.back().item = L"c.txt";
             Sign(m);
             SetAnchor();
         },
         false, "0xd", u8"ファイル update.manifest の内容が正しくありません。"},
        {"the manifest edited after signing",
         [&] {
             Sign(Listed(7));
             SetAnchor();
             std::string text = ReadFileBytes(ShippedPath("update.manifest"));
             text.replace(text.find("sequence 7"), 10, "sequence 8");
             Ship("update.manifest", text);
         },
         false, "0x80090006", u8"アップデートの署名が正しくありません。"},
        {"an unknown key",
         [&] { Sign(Listed(), stranger, strangerSecret); SetAnchor(); },
         false, "0x80090006", u8"アップデートの署名が正しくありません。"},
        {"a lower sequence",
         [&] { Sign(Listed(4)); SetAnchor(5); },
         false, "0x666", u8"これより新しいアップデートが適用済みです。"},
        {"another product",
         [&] { UpdateManifest m = Listed(); m.product = Wide(brand + "\\Other"); Sign(m); SetAnchor(); },
         false, "0x654", u8"このアップデートは別の製品または版のものです。"},
        {"another version",
         [&] { UpdateManifest m = Listed(); m.version = L"2.1"; Sign(m); SetAnchor(); },
         false, "0x654", u8"このアップデートは別の製品または版のものです。"},
        {"an expired manifest",
         [&] { UpdateManifest m = Listed(); m.expires = 20200101000000u; Sign(m); SetAnchor(); },
         false, "0x800b0101", u8"このアップデートは有効期限が切れています。"},
        {"the settings changed",
         [&] { Sign(Listed()); SetAnchor(); WriteIni("a.txt;b.txt", "AllOrNothing=1\r\n"); },
         false, "0x570", u8"ファイル update.ini" + altered},
        {"the manifest missing",
         [&] { Sign(Listed()); SetAnchor(); DeleteFileW(Wide(ShippedPath("update.manifest")).c_str()); },
         false, "0x2", u8"ファイル update.manifest が見つかりません。"},
        {"the signature missing",
         [&] { Sign(Listed()); SetAnchor(); DeleteFileW(Wide(ShippedPath("update.sig")).c_str()); },
         false, "0x2", u8"ファイル update.sig が見つかりません。"},
        {"a signature in neither form",
         [&] { Sign(Listed()); SetAnchor(); Ship("update.sig", std::string(63, '\x01')); },
         false, "0xd", u8"ファイル update.sig の内容が正しくありません。"},
        {"a manifest in no valid form",
         [&] { Sign(Listed()); SetAnchor(); Ship("update.manifest", "update-manifest 2\n"); },
         false, "0xd", u8"ファイル update.manifest の内容が正しくありません。"},
        {"no anchor: a damaged item still caught",
         [&] { Sign(Listed(), stranger, strangerSecret); Ship("a.txt", "old a.txt"); },
         true, "0x570", u8"ファイル a.txt" + altered},
    };
    for (const auto& row : rows) {
        Prepare();
        row.make();
        const DWORD sequenceBefore = StoredSequence();
        const std::wstring keysBefore = StoredKeys();
        std::vector<Step> steps;
        std::vector<std::string> lines;
        if (row.afterDialog) {
            steps.push_back(Press(IDOK));
            lines.push_back(DialogLine(kCaption, install));
        }
        steps.push_back(Press(IDOK));
        lines.push_back(ErrorBox(row.code, row.text));

        const SessionResult run = Run(steps);

        EXPECT_EQ(lines, run.lines) << row.what;
        EXPECT_EQ("", run.problem) << row.what;
        EXPECT_EQ("old a.txt|old b.txt", Installed2()) << row.what;
        EXPECT_EQ(sequenceBefore, StoredSequence()) << row.what;
        EXPECT_EQ(keysBefore, StoredKeys()) << row.what;
    }
}

// A large listed item is checked under the progress window, which is gone
// before the refusal's box; a digest found wrong at its very end still
// leaves nothing written.
TEST_F(SignedUpdateTest, ChecksALargeUpdateUnderTheProgressWindow)
{
    WriteIni("a.txt;big.bin");
    // 384 MiB that take no room (Wine makes the file sparse), checked for
    // well over the second after which the window shows.
    const uint64_t size = 384ull << 20;
    HANDLE big = CreateFileW(Wide(ShippedPath("big.bin")).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, big);
    LARGE_INTEGER end;
    end.QuadPart = LONGLONG(size);
    ASSERT_TRUE(SetFilePointerEx(big, end, nullptr, FILE_BEGIN) && SetEndOfFile(big));
    CloseHandle(big);
    UpdateManifest manifest = Listed();
    manifest.files.pop_back();
    ManifestFile listed;
    listed.item = L"big.bin";
    listed.size = size;  // and a digest of zeros, which no content has
    manifest.files.push_back(listed);
    Sign(manifest);

    bool progressAtTheBox = true;
    SessionOptions options;
    HWND progress = nullptr;
    options.onWindow = [&](const WindowSnapshot& window) {
        if (window.IsProgress())
            progress = window.handle;
        else if (window.Text(0xFFFF).find("big.bin") != std::string::npos)
            progressAtTheBox = progress && IsWindow(progress) && IsWindowVisible(progress);
    };
    const SessionResult run = RunSession(UpdaterExe(), update, {Press(IDOK), Press(IDOK)}, options);

    EXPECT_EQ(run.lines, (std::vector<std::string>{
                             DialogLine(kCaption, install),
                             ErrorBox("0x570", u8"ファイル big.bin が壊れているか、書き換えられています。")}));
    ExpectCleanEnd(run);
    ASSERT_EQ(1u, run.progress.size());
    EXPECT_EQ(u8"確認中：big.bin", run.progress[0].Text(IDC_PROGRESS_ITEM));
    EXPECT_FALSE(progressAtTheBox);
    EXPECT_EQ("old a.txt|old b.txt", Installed2());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, Attributes(InstalledPath("big.bin")));
}

// A publisher without updtool: key, manifest and signature (DER) all from
// openssl (fixtures/openssl/make.sh), for a product of its own name; the
// one kept in the sources, and the one the build made when openssl is there.
TEST_F(SignedUpdateTest, AcceptsAnUpdateSignedByOpenssl)
{
    for (const char* made : {"openssl", "openssl-live"}) {
        const std::string fixture = ProgramFolder() + "\\e2e-fixtures\\" + made + "\\";
        if (made != std::string("openssl") && Attributes(fixture + "key.pem") == INVALID_FILE_ATTRIBUTES)
            continue;  // no openssl on the build machine
        Prepare();
        RunOpensslSigned(fixture);
    }
}

void SignedUpdateTest::RunOpensslSigned(const std::string& fixture)
{
    for (const char* file : {"update.ini", "a.txt", "update.manifest", "update.sig"})
        Ship(file, ReadFileBytes(fixture + "update\\" + file));
    DeleteFileW(Wide(ShippedPath("b.txt")).c_str());
    ProductKey product("QuillmarkE2E", "OpensslSigned");
    product.SetExecute(install + "\\demo.exe");
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QuillmarkE2E\\OpensslSigned", 0,
                                           KEY_ALL_ACCESS, &key));
    const std::wstring keys = Wide(ReadFileBytes(fixture + "key.pub"));
    ASSERT_EQ(128u, keys.size());
    RegSetValueExW(key, L"UpdateKeys", 0, REG_SZ, reinterpret_cast<const BYTE*>(keys.c_str()),
                   DWORD((keys.size() + 1) * sizeof(wchar_t)));

    const SessionResult run = Run({Press(IDOK), Press(IDOK)});

    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install), BoxLine(kCaption, kDone)}))
        << fixture;
    ExpectCleanEnd(run);
    EXPECT_EQ("new a.txt", ReadFileBytes(InstalledPath("a.txt"))) << fixture;
    DWORD sequence = 0, size = sizeof sequence;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"UpdateSequence", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(&sequence), &size))
        << fixture;
    EXPECT_EQ(1u, sequence) << fixture;
    RegCloseKey(key);
}

// The bytes checked are the bytes copied: after the check, the source
// folder is renamed away and a new file written where the source was. A
// source held since its check is copied from that hold; one beyond the
// held (a signed update of thousands of items) is hashed as it is copied.
TEST_F(SignedUpdateTest, TheBytesCopiedAreTheBytesChecked)
{
    for (const size_t others : {size_t(0), kHeldSources + 6}) {
        std::string list;
        std::vector<std::string> items;
        for (size_t i = 0; i < others; ++i) {
            items.push_back("x" + std::to_string(i) + ".txt");
            Ship(items.back(), "x");
            list += items.back() + ";";
        }
        Ship("maps\\forest.map", "forest");
        items.insert(items.end(), {"a.txt", "maps\\forest.map"});
        WriteIni(list + "a.txt;maps\\forest.map");
        Installed("a.txt", "old a.txt");
        SetFileAttributesW(Wide(InstalledPath("a.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
        Sign(Listed(7, items));
        SetAnchor();
        // The prompt for a.txt comes after the check, before maps\forest.map is copied.
        const auto swap = [&] {
            ASSERT_TRUE(MoveFileW(Wide(ShippedPath("maps")).c_str(), Wide(ShippedPath("maps.away")).c_str()));
            Ship("maps\\forest.map", "planted");
            SetFileAttributesW(Wide(InstalledPath("a.txt")).c_str(), FILE_ATTRIBUTE_NORMAL);
        };
        SessionOptions options;
        options.answerTheRest = true;
        const SessionResult run = RunSession(UpdaterExe(), update, {Press(IDOK), After(swap, Press(IDRETRY))}, options);

        const bool held = others == 0;
        EXPECT_EQ(run.lines.back(), held ? BoxLine(kCaption, kDone)
                                         : ErrorBox("0x570", u8"ファイル maps\\forest.map が壊れているか、書き換えられています。"))
            << others;
        EXPECT_EQ(ReadFileBytes(InstalledPath("maps\\forest.map")), held ? "forest" : "<missing>") << others;
        RemoveTree(ShippedPath("maps.away"));
        RemoveTree(ShippedPath("maps"));
        RemoveTree(InstalledPath("maps"));
    }
}

// A link in the download folder is never followed for a source: a user's
// junction must not make the elevated run copy what the user may not read.
TEST_F(SignedUpdateTest, ALinkInTheUpdateFolderIsRefused)
{
    const std::string secret = scratch.Path("secret");
    CreateDirectoryA(secret.c_str(), nullptr);
    WriteFileBytes(secret + "\\secret.txt", "administrators only");
    ASSERT_TRUE(MakeFolderLink(ShippedPath("maps"), secret));
    WriteIni("a.txt;maps\\secret.txt");
    const std::string refused = u8"ファイル maps\\secret.txt の指定が正しくありません。";
    for (const bool listed : {false, true}) {
        if (listed) {
            Sign(Listed(7, {"a.txt", "maps\\secret.txt"}));
            SetAnchor();
        }
        const SessionResult run = Run({Press(IDOK), Press(IDOK)});
        EXPECT_EQ(run.lines.back(), ErrorBox("0x781", refused)) << listed;
        ExpectCleanEnd(run);
        EXPECT_EQ(ReadFileBytes(InstalledPath("maps\\secret.txt")), "<missing>") << listed;
        // Signed, nothing is written before the check; else the items before it stay.
        EXPECT_EQ(ReadFileBytes(InstalledPath("a.txt")), listed ? "old a.txt" : "new a.txt") << listed;
        Installed("a.txt", "old a.txt");
    }
}

// Anchor values that are there but not in their form refuse the run before
// its dialog: never read as no anchor, which would turn the protection off.
TEST_F(SignedUpdateTest, AnchorValuesOutOfTheirFormRefuseBeforeTheDialog)
{
    Sign(Listed());
    const unsigned long long wide = 5;
    const struct {
        const char* value;
        DWORD type;
        std::string bytes;
    } rows[] = {
        {"UpdateSequence", REG_QWORD, std::string(reinterpret_cast<const char*>(&wide), 8)},
        {"UpdateSequence", REG_SZ, std::string("5\0\0\0", 4)},
        {"UpdateKeys", REG_SZ, [] {
             const std::wstring keys(131579, L'a');
             return std::string(reinterpret_cast<const char*>(keys.c_str()), (keys.size() + 1) * 2);
         }()},
    };
    for (const auto& row : rows) {
        SetAnchor();
        HKEY key = OpenProductKey();
        RegSetValueExW(key, Wide(row.value).c_str(), 0, row.type, reinterpret_cast<const BYTE*>(row.bytes.data()),
                       DWORD(row.bytes.size()));
        RegCloseKey(key);

        const SessionResult run = Run({Press(IDOK)});

        EXPECT_EQ(run.lines, std::vector<std::string>{ErrorBox(
                                 "0xd", u8"レジストリの値 " + std::string(row.value) + u8" が正しくありません。")})
            << row.value;
        ExpectCleanEnd(run);
        EXPECT_EQ(Installed2(), "old a.txt|old b.txt") << row.value;
    }
}

// The sequence is stored right after the last replacement: a run killed at
// its completion box has stored it, and the previous signed update is then
// refused.
TEST_F(SignedUpdateTest, TheSequenceIsStoredBeforeTheCompletionBox)
{
    Sign(Listed(7));
    SetAnchor(5);
    DWORD atTheBox = 0;
    const SessionResult run = Run({Press(IDOK), After([&] { atTheBox = StoredSequence(); }, Press(IDOK))});
    ExpectCleanEnd(run);
    EXPECT_EQ(atTheBox, 7u);

    Prepare();
    Sign(Listed(6));
    SetAnchor(atTheBox);
    const SessionResult replay = Run({Press(IDOK)});
    EXPECT_EQ(replay.lines, std::vector<std::string>{ErrorBox("0x666", u8"これより新しいアップデートが適用済みです。")});
    EXPECT_EQ(Installed2(), "old a.txt|old b.txt");
}

// A folder that received a signed update stays bound to its product: an
// update naming another product (here the download's Name changed, so the
// registry finds nothing and the user browses to the folder) is refused
// before anything is written, signed or not.
TEST_F(SignedUpdateTest, AFolderThatReceivedASignedUpdateStaysItsProducts)
{
    Sign(Listed());
    SetAnchor();
    ExpectCleanEnd(Run({Press(IDOK), Press(IDOK)}));
    ASSERT_EQ(Installed2(), "new a.txt|new b.txt");

    Installed("a.txt", "old a.txt");
    Installed("b.txt", "old b.txt");
    DeleteFileW(Wide(ShippedPath("update.manifest")).c_str());
    DeleteFileW(Wide(ShippedPath("update.sig")).c_str());
    WriteFileBytes(ShippedPath("update.ini"), "[update]\r\nBrand=" + brand + "\r\nName=" + name +
                                                  "Other\r\nTitle=Demo\r\nVersion=2.0\r\nfile=a.txt;b.txt\r\n");
    const SessionResult run = Run({Press(IDOK), TypeAndPress(install, IDOK), Press(IDOK)});

    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back(),
              ErrorBox("0x654", u8"フォルダー " + install + u8" には、その製品の署名付きアップデートだけが適用できます。"));
    ExpectCleanEnd(run);
    EXPECT_EQ(Installed2(), "old a.txt|old b.txt");
}

// No input forges a line of the record or fills it: a product text with a
// line separator in it, and a setting 16 MiB long.
TEST_F(SignedUpdateTest, TheRecordCannotBeForgedOrBlinded)
{
    const std::string record = scratch.Path("run.log");
    SessionOptions options;
    options.arguments = L"\"/log=" + Wide(record) + L"\"";
    WriteIni("a.txt;b.txt", "AllOrNothing=" + std::string(16u << 20, '1') + "\r\n");
    UpdateManifest forged = Listed();
    forged.product += L"\u2028" L"2026-12-08 07:11:15.261 +09:00  signed update: update.sig verified";
    Sign(forged);

    const SessionResult run = RunSession(UpdaterExe(), update, {Press(IDOK), Press(IDOK)}, options);
    ExpectCleanEnd(run);

    const std::string log = ReadFileBytes(record);
    EXPECT_LT(log.size(), 1u << 20);
    EXPECT_NE(log.find("\\u2028"), std::string::npos);
    EXPECT_EQ(log.find(u8"\u2028"), std::string::npos);
    EXPECT_NE(log.find(u8"\u2026 16,777,216 bytes"), std::string::npos);
    EXPECT_NE(log.find("exit code 0: finished"), std::string::npos) << "the lines after the settings are kept";
}
