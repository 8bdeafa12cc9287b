// Whole runs that reach the completion box: what is copied, and what the
// settings file makes of the captions.

#include "tests/e2e/e2e_fixture.h"
#include "tests/support/archive_writer.h"

namespace {

PakEntry Entry(const std::string& name, const std::string& data, bool compress)
{
    PakEntry entry;
    entry.name = name;
    entry.data = data;
    entry.compress = compress;
    return entry;
}

std::string Pak(uint32_t version, int32_t revision, const std::string& payload)
{
    PakSpec spec;
    spec.version = version;
    spec.revision = revision;
    spec.entries.push_back(Entry("image\\title.bmp", payload + std::string(3000, 'x'), version > 0));
    spec.entries.push_back(Entry("script.txt", "rev " + std::to_string(revision), false));
    return BuildPak(spec);
}

std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xFF);
    return bytes;
}

}  // namespace

TEST_F(E2ETest, FullRunCopiesBytesTimesAndAttributes)
{
    const FILETIME shippedTime = MakeTime(2020, 5, 1);
    const FILETIME shippedAccess = MakeTime(2019, 3, 2);
    const FILETIME oldTime = MakeTime(2001, 1, 1);
    struct Item {
        const char* name;
        std::string shipped;
        std::string installed;  // "" = not installed yet
        DWORD shippedAttributes;
        DWORD expectedAttributes;  // read-only never carried over
    } items[] = {
        {"readme.txt", "新しい説明\r\n", "古い説明\r\n",
         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN},
        {"data.pak", Pak(2, 7, "seven"), Pak(2, 6, "six"), FILE_ATTRIBUTE_READONLY, 0},
        {"demo.exe", StubBytes("app-2.0.exe"), StubBytes("app-1.9.exe"), 0, 0},
        // More than one 64 KiB copy block, with a short last one.
        {"big.bin", Pattern(65536 * 2 + 5), Pattern(10), 0, 0},
        {"maps\\forest.map", "forest", "", 0, 0},
    };
    std::string list;
    for (const auto& item : items) {
        list += std::string(list.empty() ? "" : ";") + item.name;
        Ship(item.name, item.shipped);
        SetLastWriteTime(ShippedPath(item.name), shippedTime, &shippedAccess);
        if (item.shippedAttributes) {
            // Wine keeps the hidden flag in an extended attribute that a
            // read-only file no longer accepts: hidden first.
            const std::string shipped = ShippedPath(item.name);
            SetFileAttributesA(shipped.c_str(), item.shippedAttributes & ~FILE_ATTRIBUTE_READONLY);
            SetFileAttributesA(shipped.c_str(), item.shippedAttributes);
            ASSERT_EQ(Attributes(shipped) & item.shippedAttributes, item.shippedAttributes)
                << item.name;
        }
        if (!item.installed.empty()) {
            Installed(item.name, item.installed);
            SetLastWriteTime(InstalledPath(item.name), oldTime);
        }
    }
    WriteIni(list);

    const SessionResult run = Run({Press(IDOK), Press(IDOK)});

    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install),
                                                   BoxLine(kCaption, kDone)}));
    ExpectCleanEnd(run);
    EXPECT_TRUE(run.progress.empty()) << "a short update shows no progress window";
    for (const auto& item : items) {
        SCOPED_TRACE(item.name);
        const std::string target = InstalledPath(item.name);
        // The tests run in Tokyo's time zone, so a missing or reversed
        // conversion between local and stored times shows. Reading a file
        // moves its last access under Wine (the updater reads the source):
        // the target must match the source as it is afterwards. Wine on Linux keeps no creation
        // time that a program could set, so that one is not compared.
        EXPECT_TRUE(SameTime(LastWriteTime(target), shippedTime)) << "last-write time";
        EXPECT_TRUE(SameTime(LastAccessTime(target), LastAccessTime(ShippedPath(item.name))))
            << "last-access time";
        EXPECT_FALSE(SameTime(LastAccessTime(target), LastWriteTime(target)));
        // Read after the times: reading moves the last access.
        EXPECT_TRUE(ReadFileBytes(target) == item.shipped) << "bytes differ";
        const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
        EXPECT_EQ(Attributes(target) & kept, item.expectedAttributes);
    }
    // The replacement leaves nothing else behind in the install folder.
    EXPECT_EQ(ListFolder(install), "big.bin data.pak demo.exe maps readme.txt");
    EXPECT_EQ(ListFolder(install + "\\maps"), "forest.map");
}

TEST_F(E2ETest, VersionDecisionsByExtension)
{
    const std::string pak10 = Pak(2, 10, "ten"), pak9 = Pak(2, 9, "nine");
    struct Row {
        const char* item;
        std::string shipped;
        std::string installed;  // "" = no installed copy
        bool applied;
    } rows[] = {
        {"newer.exe", StubBytes("app-2.0.exe"), StubBytes("app-1.9.exe"), true},
        // Versions compare as text: "1.9" >= "1.10".
        {"textorder.exe", StubBytes("app-1.9.exe"), StubBytes("app-1.10.exe"), true},
        {"older.exe", StubBytes("app-1.10.exe"), StubBytes("app-1.9.exe"), false},
        {"equal.exe", StubBytes("app-1.9.exe"), StubBytes("app-1.9.exe"), true},
        {"unversioned.exe", StubBytes("app-none.exe"), StubBytes("app-1.9.exe"), false},
        {"overunversioned.exe", StubBytes("app-1.9.exe"), StubBytes("app-none.exe"), true},
        {"fresh.exe", StubBytes("app-1.9.exe"), "", true},
        {"SHOUT.EXE", StubBytes("app-1.10.exe"), StubBytes("app-1.9.exe"), false},
        {"newer.dll", StubBytes("lib-2.0.dll"), StubBytes("lib-1.9.dll"), true},
        {"older.dll", StubBytes("lib-1.10.dll"), StubBytes("lib-1.9.dll"), false},
        {"rev10over9.pak", pak10, pak9, false},  // "10" < "9" as text
        {"rev9over10.pak", pak9, pak10, true},
        {"v2overv0.pak", Pak(2, 3, "three"), Pak(0, 0, "zero"), true},
        {"v1overv2.pak", Pak(1, 0, "one"), Pak(2, 5, "five"), false},  // "0" < "5"
        {"equal.pak", Pak(2, 4, "new four"), Pak(2, 4, "old four"), true},
        {"notes.txt", "new", "older but longer", true},
        {"data.pak.bak", "new", "old", true},
        {"noextension", "new", "old", true},
    };
    const FILETIME shippedTime = MakeTime(2020, 5, 1);
    const FILETIME oldTime = MakeTime(2001, 1, 1);
    std::string list;
    for (const auto& row : rows) {
        list += std::string(list.empty() ? "" : ";") + row.item;
        Ship(row.item, row.shipped);
        SetLastWriteTime(ShippedPath(row.item), shippedTime);
        if (!row.installed.empty()) {
            Installed(row.item, row.installed);
            SetLastWriteTime(InstalledPath(row.item), oldTime);
        }
    }
    WriteIni(list);

    const SessionResult run = Run({Press(IDOK), Press(IDOK)});

    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install),
                                                   BoxLine(kCaption, kDone)}));
    ExpectCleanEnd(run);
    for (const auto& row : rows) {
        const std::string target = InstalledPath(row.item);
        const std::string expected = row.applied ? row.shipped : row.installed;
        const FILETIME expectedTime = row.applied ? shippedTime : oldTime;
        EXPECT_TRUE(ReadFileBytes(target) == expected)
            << row.item << (row.applied ? " should be applied" : " should be kept");
        // Equal content (equal.exe) is told apart by its time.
        EXPECT_TRUE(SameTime(LastWriteTime(target), expectedTime))
            << row.item << (row.applied ? " should carry the shipped time" : " was touched");
    }
}

TEST_F(E2ETest, SettingsReadFromCompressedArchiveEntry)
{
    PakSpec spec;
    spec.version = 2;
    spec.revision = 1;
    spec.entries.push_back(Entry("other.txt", "not this one", true));
    spec.entries.push_back(Entry("update.ini",
                                 "[update]\r\nBrand=" + brand + "\r\nName=" + name +
                                     "\r\nTitle=Packed\r\nVersion=3.1\r\nfile=notes.txt\r\n",
                                 true));
    Ship("settings.pak", BuildPak(spec));
    Ship("notes.txt", "shipped notes");
    Installed("notes.txt", "old notes");

    const SessionResult run = Run({Press(IDOK), Press(IDOK)});

    const std::string caption = u8"Packed Version 3.1 アップデート";
    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(caption, install),
                                                   BoxLine(caption, kDone)}));
    ExpectCleanEnd(run);
    EXPECT_EQ(ReadFileBytes(InstalledPath("notes.txt")), "shipped notes");
    EXPECT_EQ(ListFolder(install), "notes.txt");  // the archive itself was not listed
}

TEST_F(E2ETest, SettingsQuirksShowInCaption)
{
    const struct {
        const char* what;
        std::string lines;  // after Brand and Name, which stand above any header
        std::string caption;
    } rows[] = {
        {"spaces around = make another key", "[update]\r\nTitle = Spaced\r\nVersion=3\r\n",
         u8"アップデート Version 3 アップデート"},
        {"header and keys in other case", "[UPDATE]\r\ntitle=Lower\r\nVERSION=4\r\n",
         u8"Lower Version 4 アップデート"},
        {"tabs around =, remark after a tab, LF only, trailing space kept",
         "[update]\nTitle\t=\tTabbed\tremark\nVersion=5 \n", u8"Tabbed Version 5  アップデート"},
        {"key above the headers answers, other section does not",
         "Title=Top\r\n[other]\r\nVersion=9\r\n[update]\r\n", u8"Top Version 1.01 アップデート"},
        {"comment line and empty value skipped",
         "[update]\r\n'Title=Comment\r\nTitle=\r\nTitle=Second\r\n",
         u8"Second Version 1.01 アップデート"},
        {"header without closing bracket", "[update\r\nTitle=Unread\r\n",
         u8"アップデート Version 1.01 アップデート"},
    };
    for (const auto& row : rows) {
        WriteFileBytes(update + "\\update.ini",
                       "Brand=" + brand + "\r\nName=" + name + "\r\n" + row.lines);
        const SessionResult run = Run({Press(IDCANCEL)});
        EXPECT_EQ(run.lines, std::vector<std::string>{DialogLine(row.caption, install)})
            << row.what;
        EXPECT_EQ(run.problem, "") << row.what;
    }
}

TEST_F(E2ETest, MissingSettingsFilePromptsForEveryKey)
{
    // Nothing in the update folder: each of the five reads asks, Ignore
    // leaves the built-in settings (product Quillmark\Installer, not installed).
    const std::string prompt = PromptLine(u8"ファイル update.ini が開けません。");
    char programFiles[MAX_PATH] = {};
    DWORD size = sizeof programFiles;
    RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                 "ProgramFilesDir", RRF_RT_REG_SZ, nullptr, programFiles, &size);

    const SessionResult run =
        Run({Press(IDIGNORE), Press(IDIGNORE), Press(IDIGNORE), Press(IDIGNORE), Press(IDIGNORE),
             Press(IDOK), Press(IDCANCEL)});

    EXPECT_EQ(run.lines,
              (std::vector<std::string>{
                  prompt, prompt, prompt, prompt, prompt,
                  BoxLine(u8"エラー",
                          u8"アップデート のインストール先が見つかりませんでした。\n"
                          u8"インストール済みの場合、お手数ですがインストール先を指定してください。"),
                  DialogLine(u8"アップデート Version 1.01 アップデート", programFiles)}));
    ExpectCleanEnd(run);
}
