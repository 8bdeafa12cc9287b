// updtool check and plan on real update folders: version stubs, archives
// from the test writer, the product's key in the registry, each case one
// trap the updater falls into silently.

#include <gtest/gtest.h>

#include <functional>
#include <windows.h>
#include "tests/support/archive_writer.h"
#include "tests/support/scratch_dir.h"
#include "tests/updtool/tool_runner.h"

namespace {

std::string Stub(const std::string& name)
{
    const std::string exe = ToolExe();
    const std::string bytes = ReadFileBytes(exe.substr(0, exe.rfind('\\')) + "\\e2e-fixtures\\" + name);
    EXPECT_NE("<missing>", bytes) << name;
    return bytes;
}

PakEntry Entry(const std::string& name, const std::string& data)
{
    PakEntry entry;
    entry.name = name;
    entry.data = data;
    return entry;
}

std::string Pak(int32_t revision, const std::vector<std::string>& names, uint32_t version = 2)
{
    PakSpec spec;
    spec.version = version;
    spec.revision = revision;
    for (const std::string& name : names)
        spec.entries.push_back(Entry(name, "data of " + name));
    return BuildPak(spec);
}

// A v2 archive whose packed index is no zlib stream.
std::string DamagedPak()
{
    PakSpec spec;
    spec.entries.push_back(Entry("x.txt", "x"));
    spec.packedIndex = std::string("not a zlib stream");
    return BuildPak(spec);
}

std::string Ini(const std::string& lines)
{
    return "[update]\r\nBrand=QuillmarkToolTest\r\nTitle=Demo\r\n" + lines;
}

// HKLM\SOFTWARE\<brand>\<name> (the 32-bit view, as this program and the
// tool are 32-bit), removed afterwards.
class ProductKey {
public:
    ProductKey(const std::string& brand, const std::string& name)
        : brand_("SOFTWARE\\" + brand), key_(brand_ + "\\" + name)
    {
    }
    virtual ~ProductKey()
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, brand_.c_str());
    }
    void SetExecute(const std::string& path)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegSetValueExA(key, "execute", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       DWORD(path.size() + 1));
        RegCloseKey(key);
    }

private:
    std::string brand_, key_;
};

// The update folder "update" and the install folder "install" of one case.
class Stage {
public:
    ScratchDir scratch;
    std::string update, install;

    Stage() : update(scratch.Path("update")), install(scratch.Path("install"))
    {
        CreateDirectoryA(update.c_str(), nullptr);
        CreateDirectoryA(install.c_str(), nullptr);
    }
    virtual ~Stage() {}
    void Ship(const std::string& name, const std::string& bytes) { WriteFileBytes(update + "\\" + name, bytes); }
    void Installed(const std::string& name, const std::string& bytes)
    {
        WriteFileBytes(install + "\\" + name, bytes);
    }
};

struct Case {
    const char* label;
    std::function<void(Stage&)> setup;
    int exitCode;
    std::vector<std::string> lines;  // in the human output, each on a line of its own
    std::vector<std::string> json;   // in the JSON document
};

// Runs of spaces read as one, so column widths do not matter.
std::string Squeezed(const std::string& text)
{
    std::string squeezed;
    for (char c : text)
        if (c != ' ' || squeezed.empty() || squeezed.back() != ' ')
            squeezed += c;
    return squeezed;
}

size_t CountOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Each expected text begins a line of the output.
void ExpectLines(const std::string& out, const Case& row)
{
    const std::string shown = "\n" + Squeezed(out);
    for (const std::string& line : row.lines)
        EXPECT_NE(std::string::npos, shown.find("\n" + Squeezed(line)))
            << row.label << ": no line\n" << line << "\nin\n" << out;
}

std::string JsonText(const std::string& text)
{
    std::string escaped;
    for (char c : text)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return escaped;
}

void ExpectJson(const std::string& out, const Case& row)
{
    EXPECT_EQ('{', out.empty() ? 0 : out.front()) << row.label;
    EXPECT_EQ(1, std::count(out.begin(), out.end(), '\n')) << row.label << ": one document";
    for (const std::string& field : row.json)
        EXPECT_NE(std::string::npos, out.find(field)) << row.label << ": no " << field << " in\n" << out;
}

// Each row runs with the update folder given as DIR, then (for --json) from
// inside it with no DIR.
void RunCases(const char* command, const std::vector<Case>& rows,
              const std::function<std::vector<std::string>(Stage&)>& extra)
{
    for (const Case& row : rows) {
        Stage stage;
        row.setup(stage);
        std::vector<std::string> args = {command, stage.update};
        for (const std::string& arg : extra(stage))
            args.push_back(arg);
        const ToolResult human = RunTool(args, stage.scratch.Path());
        EXPECT_EQ(row.exitCode, human.exitCode) << row.label << "\n" << human.out << human.err;
        ExpectLines(human.out, row);

        args.erase(args.begin() + 1);
        args.push_back("--json");
        const ToolResult json = RunTool(args, stage.update);
        EXPECT_EQ(row.exitCode, json.exitCode) << row.label;
        if (row.exitCode != 2)
            ExpectJson(json.out, row);
    }
}

const std::string u8Prompt = u8"ファイル update.ini が開けません。";
const std::string u8Damaged = u8"データ解凍に失敗しました。";

}  // namespace

TEST(UpdtoolCheck, ReportsWhatTheUpdaterReadsAndWhereItFails)
{
    const std::vector<Case> rows = {
        {"clean folder",
         [](Stage& s) {
             s.Ship("update.ini", Ini("Name=CheckClean\r\nVersion=2.0\r\nfile=app.exe;data.pak;readme.txt\r\n"));
             s.Ship("app.exe", Stub("app-1.10.exe"));
             s.Ship("data.pak", Pak(10, {"bg.png"}));
             s.Ship("readme.txt", "hello");
         },
         0,
         {"  Name     \"CheckClean\"", "  Version  \"2.0\"", "  \"app.exe\"     file  executable  \"1.10\"",
          "  \"data.pak\"    file  pak         \"10\"", "check passed: 0 errors, 0 warnings",
          "update.ini: a file in "},
         {"\"Brand\":\"QuillmarkToolTest\"",
          "{\"item\":\"app.exe\",\"kind\":\"executable\",\"found\":\"file\",\"version\":\"1.10\"}",
          "{\"item\":\"readme.txt\",\"kind\":\"plain\",\"found\":\"file\",\"version\":\"\"}",
          "\"problems\":[]"}},
        {"spaces around = name another key: the default is used",
         [](Stage& s) { s.Ship("update.ini", Ini("Name = Demo\r\n  Version=3.0\r\nfile=readme.txt\r\n")); s.Ship("readme.txt", "x"); },
         0,
         {"  Name     \"Installer\" (default)", "  Version  \"1.01\" (default)",
          "  warning: line 4: \"Name = Demo\" is not read as Name: a space before the separator belongs "
          "to the key (the key read is \"Name \")",
          "  warning: line 5: \"  Version=3.0\" is not read as Version: spaces before the key belong to the key"},
         {"\"Name\":\"Installer\"", "\"defaults\":[\"Name\",\"Version\",\"AllOrNothing\"]", "\"severity\":\"warning\""}},
        {"a comment ending in a lone CR hides the next line",
         [](Stage& s) { s.Ship("update.ini", Ini("Name=CheckHidden\r\n'old list\rfile=readme.txt\r\n")); s.Ship("readme.txt", "x"); },
         1,
         {"  warning: file: the updater reads nothing (the default is used), where line 6 gives \"readme.txt\"",
          "  error: no items: the key file is missing or lists nothing; the updater would copy nothing "
          "and still report the update as finished"},
         {"\"file\":\"\"", "\"items\":[]", "\"severity\":\"error\""}},
        {"a backslash in Name fails the instance event",
         [](Stage& s) { s.Ship("update.ini", Ini("Name=Demo\\Tool\r\nfile=readme.txt\r\n")); s.Ship("readme.txt", "x"); },
         1,
         {"  error: Name \"Demo\\Tool\" cannot name the instance event (creating it fails with error 3): "
          "the updater would end at once, silently, without updating"},
         {"\"Name\":\"Demo\\\\Tool\""}},
        {"no settings file",
         [](Stage&) {},
         1,
         {"  Brand    \"Quillmark\" (default)",
          "  error: no settings file: update.ini is neither a file in the folder nor an entry of its "
          "archives; the updater would show the open prompt \"" + u8Prompt +
              "\" five times (Ignore runs it with the defaults and no items)",
          "check failed: 1 error, 0 warnings"},
         {"\"Title\":\"" + std::string(u8"アップデート") + "\"", "\"defaults\":[\"Brand\",\"Name\",\"Title\",\"Version\",\"file\",\"AllOrNothing\"]"}},
        {"update.ini a folder, and where each reading comes from",
         [](Stage& s) { CreateDirectoryA((s.update + "\\update.ini").c_str(), nullptr); },
         1,
         {"update.ini: not found in ",
          "  error: update.ini is a folder, which cannot be read; the updater would show the open "
          "prompt \"" + u8Prompt + "\" five times (Ignore runs it with the defaults and no items)"},
         {"\"file\":\"\""}},
        {"update.ini served by prefix from an archive",
         [](Stage& s) {
             PakSpec spec;
             spec.entries.push_back(Entry("update.ini.old", Ini("Name=CheckOld\r\nfile=readme.txt\r\n")));
             s.Ship("setup.pak", BuildPak(spec));
             s.Ship("readme.txt", "x");
         },
         0,
         {"update.ini: the entry \"update.ini.old\" of setup.pak in ",
          "  Name     \"CheckOld\"",
          "  warning: update.ini is read from the entry \"update.ini.old\" of setup.pak: the archive "
          "lookup takes the first entry whose name begins with the name"},
         {"\"Name\":\"CheckOld\""}},
        {"items the updater skips or misjudges",
         [](Stage& s) {
             s.Ship("update.ini", Ini("Name=CheckItems\r\nfile=bg;gone.txt; old.pak;old.pak;tool.exe;..\\up.txt;;x\r\n"));
             s.Ship("data.pak", Pak(3, {"bg01.png", "bg.png"}));
             s.Ship("old.pak", Pak(0, {"a"}, 1));
             s.Ship("tool.exe", Stub("app-none.exe"));
         },
         1,
         {"  \"bg\"        archive  plain       -    in data.pak as \"bg01.png\"",
          "  warning: item \"bg\" is not a file in the folder, only an entry of data.pak: the updater skips it",
          "  warning: item \"bg\": the archive lookup resolves it to the longer name \"bg01.png\" of data.pak",
          "  warning: item \"gone.txt\" is not in the folder: the updater skips it",
          "  warning: item \" old.pak\" begins or ends with a space, which belongs to the name (nothing is "
          "trimmed beside \";\")",
          "  warning: item \"old.pak\" is an archive of format 1: its revision reads as \"0\", so it replaces "
          "only an installed copy whose revision text is \"0\" or sorts lower",
          "  warning: item \"tool.exe\" has no FileVersion: the updater copies it only where the installed "
          "copy has none",
          "  error: item \"..\\up.txt\" is refused by the updater, as it has a \"..\" part: it ends with "
          "its error box \"" + std::string(u8"ファイル ..\\up.txt の指定が正しくありません。") +
              "\" before its dialog, and copies nothing",
          "  warning: file \"bg;gone.txt; old.pak;old.pak;tool.exe;..\\up.txt;;x\" holds an empty item "
          "(\";;\"): it is left out"},
         {"{\"item\":\"bg\",\"kind\":\"plain\",\"found\":\"archive\",\"version\":\"\"}",
          "{\"item\":\" old.pak\",\"kind\":\"pak\",\"found\":\"missing\",\"version\":\"\"}",
          "{\"item\":\"old.pak\",\"kind\":\"pak\",\"found\":\"file\",\"version\":\"0\"}"}},
        {"a damaged archive beside a plain update.ini",
         [](Stage& s) {
             s.Ship("update.ini", Ini("Name=CheckDamaged\r\nfile=readme.txt\r\n"));
             s.Ship("readme.txt", "x");
             s.Ship("zz.pak", DamagedPak());
         },
         1,
         {"  error: zz.pak is damaged (see \"updtool verify\"): a lookup that reaches it fails with \"" +
          u8Damaged + "\""},
         {"\"severity\":\"error\",\"message\":\"zz.pak is damaged"}},
        {"a damaged archive on the way to update.ini",
         [](Stage& s) { s.Ship("a.pak", DamagedPak()); },
         1,
         {"  error: reading update.ini fails with \"" + u8Damaged + "\": the updater would show its error box and end"},
         {"\"items\":[]"}},
        {"all or nothing: the room the copies need beside the install folder",
         [](Stage& s) {
             s.Ship("update.ini", Ini("Name=CheckRoom\r\nAllOrNothing=1\r\nfile=readme.txt;b.txt;gone.txt\r\n"));
             s.Ship("readme.txt", "x");
             s.Ship("b.txt", "bbb");
         },
         0,
         {"  AllOrNothing  \"1\"",
          "all or nothing: the update needs 4 bytes beside the install folder " + ProgramFilesDir() +
              " (the applied items' copies, kept until the last is in place); its disk has "},
         {"\"AllOrNothing\":\"1\"", "\"allOrNothing\":{\"installFolder\":\"" + JsonText(ProgramFilesDir()) +
                                          "\",\"neededBytes\":4,\"freeBytes\":"}},
        {"AllOrNothing other than 1 is not all or nothing",
         [](Stage& s) {
             s.Ship("update.ini", Ini("Name=CheckRoomYes\r\nAllOrNothing=yes\r\nfile=readme.txt\r\n"));
             s.Ship("readme.txt", "x");
         },
         0,
         {"  warning: AllOrNothing \"yes\" is not \"1\": the updater updates item by item"},
         {"\"allOrNothing\":null"}},
    };
    RunCases("check", rows, [](Stage&) { return std::vector<std::string>(); });

    // While a run holds the instance event, a start would end at once: a
    // warning, not an error, as the next start goes through.
    Stage running;
    running.Ship("update.ini", Ini("Name=CheckRunning\r\nfile=readme.txt\r\n"));
    running.Ship("readme.txt", "x");
    const HANDLE event = CreateEventA(nullptr, TRUE, TRUE, "CheckRunning");
    const ToolResult held = RunTool({"check", running.update}, running.scratch.Path());
    CloseHandle(event);
    EXPECT_EQ(0, held.exitCode) << held.out;
    EXPECT_NE(std::string::npos, held.out.find("  warning: an object named \"CheckRunning\" exists "
                                               "now (an updater running?): a start now would end "
                                               "at once, silently\n"))
        << held.out;

    ScratchDir scratch;
    const ToolResult absent = RunTool({"check", scratch.Path("absent")}, scratch.Path());
    EXPECT_EQ(2, absent.exitCode);
    EXPECT_EQ("updtool check: cannot enter the folder \"" + scratch.Path("absent") + "\"\n", absent.err);
    EXPECT_EQ("", absent.out);
}

TEST(UpdtoolPlan, DecidesAsTheUpdaterDoes)
{
    const std::string programFiles = ProgramFilesDir();
    ASSERT_FALSE(programFiles.empty());
    const std::vector<Case> rows = {
        {"versions compare as text",
         [](Stage& s) {
             s.Ship("update.ini", Ini("Name=PlanText\r\nfile=app.exe;lib.dll;data.pak;new.exe;readme.txt;bg\r\n"));
             s.Ship("app.exe", Stub("app-1.10.exe"));
             s.Installed("app.exe", Stub("app-1.9.exe"));
             s.Ship("lib.dll", Stub("lib-1.9.dll"));
             s.Installed("lib.dll", Stub("lib-1.10.dll"));
             s.Ship("data.pak", Pak(10, {"bg01.png"}));
             s.Installed("data.pak", Pak(9, {"bg01.png"}));
             s.Ship("new.exe", Stub("app-2.0.exe"));
             s.Ship("readme.txt", "x");
         },
         0,
         {"  skip     \"app.exe\"     executable  1.10    1.9        1.10 compares lower than 1.9 as text, "
          "though as numbers it is higher",
          "  apply    \"lib.dll\"     executable  1.9     1.10       1.9 compares higher than 1.10 as text, "
          "though as numbers it is lower",
          "  skip     \"data.pak\"    pak         10      9          10 compares lower than 9 as text, though "
          "as numbers it is higher",
          "  apply    \"new.exe\"     executable  2.0     -          no installed copy",
          "  apply    \"readme.txt\"  plain       -       -          plain file, always copied",
          "  missing  \"bg\"          plain       -       -          not a file in the update folder (only "
          "inside an archive: \"bg01.png\" in data.pak)",
          "silent: updater.exe /silent would end with exit code 0: finished"},
         {"{\"item\":\"app.exe\",\"target\":\"", "\\\\install\\\\app.exe\",\"kind\":\"executable\",\"action\":\"skip\","
          "\"sourceVersion\":\"1.10\",\"targetVersion\":\"1.9\",\"reason\":\"1.10 compares lower than 1.9 "
          "as text, though as numbers it is higher\"}",
          "\\\\install\\\\data.pak\",\"kind\":\"pak\",\"action\":\"skip\",\"sourceVersion\":\"10\","
          "\"targetVersion\":\"9\"", "\"outcome\":\"completes\",\"stops\":false,\"stop\":null,\"silentExitCode\":0,"}},
        {"a damaged archive stops the run at a pak without installed copy",
         [](Stage& s) {
             s.Ship("update.ini", Ini("Name=PlanStop\r\nfile=readme.txt;data.pak;app.exe\r\n"));
             s.Ship("readme.txt", "x");
             s.Ship("data.pak", Pak(2, {"a"}));
             s.Ship("zz.pak", DamagedPak());
             s.Ship("app.exe", Stub("app-2.0.exe"));
         },
         1,
         {"  stop  \"data.pak\"  pak  2  -  the updater stops here with its error box: " + u8Damaged,
          "  not reached  \"app.exe\"  executable  -  -  not reached: the updater stopped at \"data.pak\"",
          "outcome: the updater stops at \"data.pak\" with its error box: \"" + u8Damaged +
              "\" (the item applied before it stays applied)"},
         {"\"action\":\"not reached\",\"sourceVersion\":\"\",\"targetVersion\":\"\",\"reason\":\"not reached",
          "\"outcome\":\"error\",\"stops\":true,\"stop\":{\"item\":\"data.pak\",\"message\":\"" + u8Damaged,
          "\"silentExitCode\":1603,\"silentEnd\":\"its error box at \\\"data.pak\\\"\"}"}},
        {"a Name the event cannot take ends the run before any copy",
         [](Stage& s) {
             s.Ship("update.ini", Ini("Name=Plan\\Slash\r\nfile=readme.txt\r\n"));
             s.Ship("readme.txt", "x");
         },
         1,
         {"  not reached  \"readme.txt\"  plain  -  -  not reached: the run ends before its dialog",
          "outcome: the updater ends at once, silently: Name \"Plan\\Slash\" cannot name the instance "
          "event (error 3)"},
         {"\"action\":\"not reached\"", "\"outcome\":\"silent\"", "\"silentExitCode\":1603"}},
        {"a folder where the target goes brings the prompt",
         [](Stage& s) {
             s.Ship("update.ini", Ini("Name=PlanFolder\r\nfile=readme.txt;b.txt\r\n"));
             s.Ship("readme.txt", "x");
             s.Ship("b.txt", "b");
             CreateDirectoryA((s.install + "\\readme.txt").c_str(), nullptr);
         },
         1,
         {"  prompt  \"readme.txt\"  plain  -  -  its target is a folder, which the updater cannot "
          "replace; the updater asks (Abort, Retry, Ignore): Ignore skips it, Abort ends the run in "
          "its error box",
          "  apply  \"b.txt\"  plain  -  -  plain file, always copied",
          "outcome: the updater asks the user (Abort, Retry, Ignore) before it can finish",
          "silent: updater.exe /silent would end with exit code 1603: the first open prompt, answered Abort"},
         {"\"outcome\":\"prompts\",\"stops\":false", "\\\\install\\\\readme.txt\",\"kind\":\"plain\",\"action\":\"prompt\""}},
        {"a read-only target brings the prompt",
         [](Stage& s) {
             s.Ship("update.ini", Ini("Name=PlanReadOnly\r\nfile=readme.txt\r\n"));
             s.Ship("readme.txt", "x");
             s.Installed("readme.txt", "old");
             SetFileAttributesA((s.install + "\\readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
         },
         1,
         {"  prompt  \"readme.txt\"  plain  -  -  its target is read-only, which the updater cannot replace;"},
         {"\"action\":\"prompt\""}},
        {"every item skipped: the updater applies nothing",
         [](Stage& s) {
             s.Ship("update.ini", Ini("Name=PlanNothing\r\nfile=app.exe;gone.txt\r\n"));
             s.Ship("app.exe", Stub("app-1.9.exe"));
             s.Installed("app.exe", Stub("app-2.0.exe"));
         },
         1,
         {"outcome: the updater applies nothing, and still reports the update as finished"},
         {"\"outcome\":\"nothing\"", "\"silentExitCode\":0"}},
        {"a damaged archive about to replace another stops the run; the items before stay applied",
         [](Stage& s) {
             s.Ship("update.ini", Ini("Name=PlanDamaged\r\nfile=readme.txt;data.pak;b.txt\r\n"));
             s.Ship("readme.txt", "x");
             s.Ship("b.txt", "b");
             // Revision 20, cut short: its last entry runs past the end.
             const std::string whole = Pak(20, {"a.bin", "b.bin"});
             s.Ship("data.pak", whole.substr(0, whole.size() - 3));
             s.Installed("data.pak", Pak(10, {"a.bin"}));
         },
         1,
         {"  apply  \"readme.txt\"  plain  -  -  plain file, always copied",
          "  stop  \"data.pak\"  pak  20  10  the updater stops here with its error box: " + u8Damaged,
          "  not reached  \"b.txt\"",
          "outcome: the updater stops at \"data.pak\" with its error box: \"" + u8Damaged +
              "\" (the item applied before it stays applied)"},
         {"\"stop\":{\"item\":\"data.pak\",\"message\":\"" + u8Damaged + "\"}"}},
        {"an item that leaves its folder ends the run before the dialog",
         [](Stage& s) {
             s.Ship("update.ini", Ini("Name=PlanRefused\r\nfile=readme.txt;..\\escape.txt\r\n"));
             s.Ship("readme.txt", "x");
         },
         1,
         {"  not reached  \"readme.txt\"  plain  -  -  not reached: the run ends before its dialog",
          "outcome: the updater ends before its dialog with its error box: \"" +
              std::string(u8"ファイル ..\\escape.txt の指定が正しくありません。") + "\""},
         {"\"outcome\":\"error\",\"stops\":true,\"stop\":{\"item\":\"\",\"message\":\"" +
          std::string(u8"ファイル ..\\\\escape.txt の指定が正しくありません。") + "\"}"}},
        {"all or nothing: a failure puts every target back",
         [](Stage& s) {
             s.Ship("update.ini", Ini("Name=PlanAll\r\nAllOrNothing=1\r\nfile=readme.txt;data.pak\r\n"));
             s.Ship("readme.txt", "x");
             const std::string whole = Pak(20, {"a.bin", "b.bin"});
             s.Ship("data.pak", whole.substr(0, whole.size() - 3));
         },
         1,
         {"mode: all or nothing (AllOrNothing=1): every copy is written beside its target first, 1 "
          "bytes, then all are put in place, or none",
          "outcome: the updater stops at \"data.pak\" with its error box: \"" + u8Damaged +
              "\" (all or nothing: every target is put back, nothing changes)"},
         {"\"allOrNothing\":true,\"appliedBytes\":1,"}},
        {"no settings", [](Stage&) {}, 2, {}, {}},
    };
    RunCases("plan", rows, [](Stage& s) { return std::vector<std::string>{"--dest", s.install}; });

    // Before writing, the updater names the programs holding a target, and
    // asks for room a volume lacks; unattended, the first ends with the code
    // that says "later", the second fails.
    HANDLE holder = INVALID_HANDLE_VALUE;
    const struct {
        const char* label;
        std::function<void(Stage&)> setup;
        std::vector<std::string> json;
    } beforeWriting[] = {
        {"a target a running program holds",
         [&holder](Stage& s) {
             s.Installed("readme.txt", "old");
             holder = CreateFileA((s.install + "\\readme.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  0, nullptr);
             EXPECT_NE(INVALID_HANDLE_VALUE, holder);
         },
         {"\"outcome\":\"prompts\"", "\"silentExitCode\":1618"}},
        {"a volume without the room",
         [](Stage& s) {
             ULARGE_INTEGER free = {};
             ASSERT_TRUE(GetDiskFreeSpaceExA(s.install.c_str(), &free, nullptr, nullptr));
             ASSERT_TRUE(WriteSparseFile(s.update + "\\big.bin", int64_t(free.QuadPart) + (int64_t(1) << 30)));
             s.Ship("update.ini", Ini("Name=PlanRoom\r\nfile=readme.txt;big.bin\r\n"));
         },
         {"\"shortRooms\":[{\"volume\":\"C:\\\\\",\"neededBytes\":", "\"outcome\":\"room\"",
          "\"silentExitCode\":1603,\"silentEnd\":\"not enough room: nothing is written\""}},
    };
    for (const auto& row : beforeWriting) {
        Stage stage;
        stage.Ship("update.ini", Ini("Name=PlanBeforeWriting\r\nfile=readme.txt\r\n"));
        stage.Ship("readme.txt", "x");
        row.setup(stage);
        const ToolResult plan =
            RunTool({"plan", "--json", stage.update, "--dest", stage.install}, stage.scratch.Path());
        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);
        holder = INVALID_HANDLE_VALUE;
        for (const std::string& field : row.json)
            EXPECT_NE(std::string::npos, plan.out.find(field)) << row.label << ": " << field << "\n" << plan.out;
    }

    // The destination from the registry, as the updater finds it; without
    // the product's entry, the program-files folder and the notice.
    Stage stage;
    stage.Ship("update.ini", Ini("Name=PlanRegistry\r\nfile=app.exe\r\n"));
    stage.Ship("app.exe", Stub("app-2.0.exe"));
    stage.Installed("app.exe", Stub("app-2.0.exe"));
    {
        ProductKey key("QuillmarkToolTest", "PlanRegistry");
        key.SetExecute(stage.install + "\\app.exe");
        const ToolResult found = RunTool({"plan", "--json"}, stage.update);
        EXPECT_EQ(0, found.exitCode);
        EXPECT_EQ(0u, found.out.find("{\"destination\":\"" + JsonText(stage.install) + "\",")) << found.out;
        EXPECT_EQ("", found.err);
        const ToolResult human = RunTool({"plan", stage.update}, stage.scratch.Path());
        EXPECT_NE(std::string::npos,
                  human.out.find("destination: " + stage.install +
                                 " (from HKLM\\SOFTWARE\\QuillmarkToolTest\\PlanRegistry, value execute)\n"))
            << human.out;
        EXPECT_NE(std::string::npos, human.out.find("same version as text, copied again")) << human.out;
        // Where a run started now keeps its record: a name still free in
        // this user's temporary folder.
        char temporary[MAX_PATH];
        GetTempPathA(MAX_PATH, temporary);
        const std::string said = "writes its record of the run to ";
        const size_t at = human.out.find(said + temporary + "updater ");
        ASSERT_NE(std::string::npos, at) << human.out;
        const std::string record = human.out.substr(at + said.size(), human.out.find(';', at) - at - said.size());
        EXPECT_EQ(".log", record.substr(record.size() - 4)) << record;
        EXPECT_FALSE(FileExists(record)) << record;
    }
    const ToolResult fallback = RunTool({"plan"}, stage.update);
    EXPECT_EQ(0, fallback.exitCode);
    // No person confirms the program-files folder in an unattended run.
    EXPECT_NE(std::string::npos,
              fallback.out.find("\nsilent: updater.exe /silent would end with exit code 1603: the registry records "
                                "no install folder and /dir= is not given: nothing is written\n"))
        << fallback.out;
    EXPECT_EQ(0u, fallback.out.find("destination: " + programFiles +
                                    " (the program-files folder: HKLM\\SOFTWARE\\QuillmarkToolTest\\PlanRegistry, "
                                    "value execute, gives none)\n"
                                    "notice: the updater would first show \"Demo " +
                                    u8"のインストール先が見つかりませんでした。<LF>"))
        << fallback.out;
}

// Lines of update.ini the updater reads otherwise than they look, told from
// the reader's own record, and repeated items found without comparing every
// pair: the warnings each row must give, and those it must not.
TEST(UpdtoolCheck, WarnsOfWhatTheReaderReadsOtherwise)
{
    struct LintRow {
        const char* label;
        std::string ini;
        std::vector<std::string> warnings, never;
    };
    const std::string head = "[update]\r\nBrand=B\r\nName=LintRow\r\nTitle=T\r\nVersion=1\r\n";
    const std::vector<LintRow> rows = {
        {"a header without ] names another section", "[update\r\nName=LintA\r\nfile=a.txt\r\n",
         {"warning: line 1: \"[update\" is not read as the section \"update\": the name read is \"updat\""},
         {}},
        {"a header with spaces before it is a key line", "  [update]\r\nName=LintB\r\nfile=a.txt\r\n",
         {"warning: line 1: \"  [update]\" is not read as the section \"update\": a header must begin with \"[\""},
         {}},
        {"a key given twice is read once", head + "file=a.txt\r\nfile=b.txt\r\n",
         {"warning: line 7: \"file=b.txt\": file is given again; the updater reads only the first (line 6)"},
         {}},
        {"a value ends at a tab", head + "file=a.txt\tb.txt\r\n",
         {"warning: line 6: \"file=a.txt<TAB>b.txt\": the updater reads file as \"a.txt\": the value ends at a tab"},
         {}},
        {"a key above the header is read all the same", "file=a.txt\r\n" + head,
         {"warning: line 1: \"file=a.txt\" stands above the first section header: the updater reads it for "
          "[update] all the same"},
         {}},
        {"items repeated in other case are found, the last one applied", head + "file=a.txt;A.TXT;b.txt;a.txt\r\n",
         {"warning: item \"A.TXT\" names the same target as a later item",
          "warning: item \"a.txt\" names the same target as a later item"},
         {}},
        {"a clean file gives no lint", head + "file=a.txt\r\n", {}, {"warning: line", "names the same target"}},
    };
    for (const LintRow& row : rows) {
        Stage stage;
        stage.Ship("update.ini", row.ini);
        stage.Ship("a.txt", "a");
        stage.Ship("b.txt", "b");
        const ToolResult result = RunTool({"check", stage.update}, stage.scratch.Path());
        const std::string out = Squeezed(result.out);
        for (const std::string& warning : row.warnings)
            EXPECT_NE(std::string::npos, out.find(Squeezed(warning))) << row.label << ": no\n"
                                                                            << warning << "\nin\n" << result.out;
        for (const std::string& part : row.never)
            EXPECT_EQ(std::string::npos, out.find(part)) << row.label << ": still\n" << part << "\nin\n" << result.out;
        if (row.label == rows[5].label) {
            EXPECT_EQ(2u, CountOf(out, "names the same target as a later item")) << result.out;
        }
    }
}
