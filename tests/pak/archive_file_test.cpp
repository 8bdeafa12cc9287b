#include "pak/archive_file.h"

#include <cstring>
#include <vector>
#include "pak/archive_revision.h"
#include "base/text_932.h"
#include "paths/open_failure.h"
#include "tests/pak/pak_fixture.h"
#include "tests/support/message_box_answerer.h"

namespace {

std::string Prompt(const std::string& path) { return "ファイル " + path + " が開けません。"; }
std::string AbortMessage(const std::string& path) { return "ファイル " + path + " が開けませんでした。"; }

// Sets the process's open-failure prompt for a test's time and puts it back.
class PromptSetting {
public:
    PromptSetting(bool asks, bool ignoreAborts) : saved_(openFailurePrompt)
    {
        openFailurePrompt.asks = asks;
        openFailurePrompt.ignoreAborts = ignoreAborts;
    }
    PromptSetting(const PromptSetting&) = delete;
    PromptSetting& operator=(const PromptSetting&) = delete;
    virtual ~PromptSetting() { openFailurePrompt = saved_; }

private:
    OpenFailurePrompt saved_;
};

}  // namespace

class ArchiveFileOpen : public PakFolder {};

TEST_F(ArchiveFileOpen, PlainFileSizeSeekRead)
{
    Put("plain.txt", "0123456789");
    for (int mode : {int(ModeRead), 3, 4}) {  // 3 and bits above the low two read too
        ArchiveFile file;
        ASSERT_TRUE(file.Open("plain.txt", mode)) << "mode " << mode;
        EXPECT_STREQ(file.name.text, "plain.txt");
        EXPECT_FALSE(file.inArchive);
        char two[2];
        EXPECT_EQ(file.Read(two, 2), 2u);
        EXPECT_EQ(file.Size(), 10u);  // and the position stays
        EXPECT_EQ(file.position, 2u);
        EXPECT_EQ(file.Read(two, 2), 2u);
        EXPECT_EQ(std::string(two, 2), "23") << "mode " << mode;
        file.Seek(7);
        EXPECT_EQ(ReadAll(file), "789");
        // Read-only: writing into it fails and says so.
        EXPECT_EQ(ErrorMessage([&] { file.Write("x", 1); }), "ファイル書込に失敗しました。");
    }
    EXPECT_EQ(ReadFileBytes(scratch.Path("plain.txt")), "0123456789");
}

TEST_F(ArchiveFileOpen, WriteCreatesMissingDirectories)
{
    ArchiveFile file;
    ASSERT_TRUE(file.Open("a\\b\\c.dat", ModeWrite));
    file.Write("hello", 5);
    file.Write("", 0);
    EXPECT_EQ(file.position, 5u);
    EXPECT_TRUE(file.Flush());
    file.Close();
    EXPECT_EQ(ReadFileBytes(scratch.Path("a\\b\\c.dat")), "hello");

    ASSERT_TRUE(file.Open("a\\b\\c.dat", ModeAppend));
    file.Write(" more", 5);
    file.Close();
    EXPECT_EQ(ReadFileBytes(scratch.Path("a\\b\\c.dat")), "hello more");
}

TEST_F(ArchiveFileOpen, PromptTextsAndAnswers)
{
    CreateDirectoryA(scratch.Path("folder").c_str(), nullptr);
    Put("folder.pak", BuildPak(Pak(0, {Raw("folder", "must not be found")})));
    {
        // A folder is there, so no archive is searched: the open fails.
        MessageBoxAnswerer answerer({IDRETRY, IDIGNORE});
        ArchiveFile file;
        EXPECT_FALSE(file.Open("folder", ModeRead));
        ASSERT_EQ(answerer.boxes.size(), 2u);
        EXPECT_EQ(answerer.boxes[0].caption, "ファイルエラー");
        EXPECT_EQ(answerer.boxes[0].text, Prompt("folder"));
        EXPECT_EQ(file.position, 0u);
    }
    {
        MessageBoxAnswerer answerer({IDABORT});
        ArchiveFile file;
        uint32_t code = 0;
        EXPECT_EQ(ErrorMessage([&] { file.Open("missing.txt", ModeRead); }, &code),
                  AbortMessage("missing.txt"));
        EXPECT_EQ(code, uint32_t(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(answerer.boxes.size(), 1u);
    }
}

TEST_F(ArchiveFileOpen, AbortCarriesTheErrorOfTheFailedOpen)
{
    Put("locked.txt", "x");
    Put("readonly.txt", "keep");
    SetFileAttributesA(scratch.Path("readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE held = CreateFileA(scratch.Path("locked.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    struct Row { const char* path; int mode; uint32_t code; } rows[] = {
        {"locked.txt", ModeRead, ERROR_SHARING_VIOLATION},
        {"readonly.txt", ModeWrite, ERROR_ACCESS_DENIED},
        {"nowhere\\deeper\\x.txt", ModeRead, ERROR_PATH_NOT_FOUND},
    };
    for (const Row& row : rows) {
        MessageBoxAnswerer answerer({IDABORT});
        ArchiveFile file;
        uint32_t code = 0;
        EXPECT_EQ(ErrorMessage([&] { file.Open(row.path, row.mode); }, &code), AbortMessage(row.path))
            << row.path;
        EXPECT_EQ(code, row.code) << row.path;
    }
    CloseHandle(held);
    EXPECT_EQ(ReadFileBytes(scratch.Path("readonly.txt")), "keep");
}

TEST_F(ArchiveFileOpen, RetryOpensWhatAppearedMeanwhile)
{
    // The first prompt creates the files and asks for a retry.
    int prompts = 0;
    DialogWatcher watcher([&](HWND box) {
        if (prompts++ == 0) {
            Put("late.txt", "late");
            Put("w\\late.dat", "wild");
            PostMessageA(box, WM_COMMAND, IDRETRY, 0);
        } else {
            PostMessageA(box, WM_COMMAND, IDIGNORE, 0);
        }
    });
    ArchiveFile file;
    ASSERT_TRUE(file.Open("late.txt", ModeRead));
    EXPECT_EQ(ReadAll(file), "late");
    EXPECT_EQ(prompts, 1);

    // A retried wildcard open enumerates its pattern again.
    prompts = 0;
    RemoveTree(scratch.Path("w"));
    CreateDirectoryA(scratch.Path("w").c_str(), nullptr);
    ASSERT_TRUE(file.Open("w\\*.dat", ModeRead));
    EXPECT_EQ(prompts, 1);
    EXPECT_STREQ(file.name.text, "w\\late.dat");
    EXPECT_EQ(ReadAll(file), "wild");
}

TEST_F(ArchiveFileOpen, Wildcards)
{
    CreateDirectoryA(scratch.Path("sub").c_str(), nullptr);
    CreateDirectoryA(scratch.Path("sub\\d.dat").c_str(), nullptr);
    Put("sub\\f.dat", "file");
    Put("top.dat", "top");
    Put("p.pak", BuildPak(Pak(2, {Raw("bg01.png", "in archive")})));
    quietOpen = 1;

    ArchiveFile file;
    ASSERT_TRUE(file.Open("sub\\*.dat", ModeRead));  // the folder d.dat is passed over
    EXPECT_EQ(file.path, L"sub\\f.dat");
    EXPECT_STREQ(file.name.text, "sub\\f.dat");
    EXPECT_EQ(ReadAll(file), "file");

    const std::string absolute = scratch.Path("sub\\f*");
    ASSERT_TRUE(file.Open(absolute.c_str(), ModeRead));
    EXPECT_EQ(file.path, WideFrom932(scratch.Path("sub\\f.dat").c_str()));

    // Without a backslash the composed path is pattern\match, which is no file.
    EXPECT_FALSE(file.Open("top*", ModeRead));
    EXPECT_EQ(file.path, L"top*\\top.dat");

    // No file matches: the archives are searched for the text before the *.
    ASSERT_TRUE(file.Open("bg*", ModeRead));
    EXPECT_TRUE(file.inArchive);
    EXPECT_EQ(ReadAll(file), "in archive");
}

TEST_F(ArchiveFileOpen, FailedOpensAskAsTheRunSetsThePrompt)
{
    Put("blocker", "x");  // no folder can be made below a file: the write fails
    struct Row {
        const char* label;
        bool asks, ignoreAborts;
        int quiet;
        const char* path;
        int mode;
        std::vector<int> answers;
        size_t asked;  // boxes shown
        bool raises;
    } rows[] = {
        {"no prompt, read", false, false, 0, "missing.txt", ModeRead, {}, 0, false},
        {"no prompt, write", false, false, 0, "blocker\\x.dat", ModeWrite, {}, 0, false},
        {"ignore", true, false, 0, "missing.txt", ModeRead, {IDIGNORE}, 1, false},
        {"retry twice, then ignore", true, false, 0, "missing.txt", ModeRead,
         {IDRETRY, IDRETRY, IDIGNORE}, 3, false},
        {"abort raises through Open", true, false, 0, "missing.txt", ModeRead, {IDRETRY, IDABORT}, 2, true},
        {"ignore aborts where the run says so", true, true, 0, "missing.txt", ModeRead, {IDIGNORE}, 1, true},
        {"quiet read is not asked", true, false, 1, "missing.txt", ModeRead, {IDRETRY}, 0, false},
        {"quiet write is asked", true, false, 1, "blocker\\x.dat", ModeWrite, {IDIGNORE}, 1, false},
    };
    for (const Row& row : rows) {
        const PromptSetting prompt(row.asks, row.ignoreAborts);
        MessageBoxAnswerer answerer(row.answers);
        quietOpen = row.quiet;
        ArchiveFile file;
        bool raised = false;
        try {
            EXPECT_FALSE(file.Open(row.path, row.mode)) << row.label;
        } catch (const OCErrorException& failure) {
            raised = true;
            EXPECT_EQ(TextOf(failure.message), AbortMessage(row.path)) << row.label;
        }
        quietOpen = 0;
        EXPECT_EQ(raised, row.raises) << row.label;
        ASSERT_EQ(answerer.boxes.size(), row.asked) << row.label;
        for (const MessageBoxAnswerer::Box& box : answerer.boxes)
            EXPECT_EQ(box.text, Prompt(row.path)) << row.label;
    }
}

TEST_F(ArchiveFileOpen, QuietOpenSilencesReadsOnly)
{
    MessageBoxAnswerer answerer({IDIGNORE});
    quietOpen = 1;
    ArchiveFile file;
    EXPECT_FALSE(file.Open("missing.txt", ModeRead));
    EXPECT_TRUE(answerer.boxes.empty());
    // A folder cannot be made below a file, so this write cannot succeed.
    Put("blocker", "x");
    EXPECT_FALSE(file.Open("blocker\\x.dat", ModeWrite));
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].text, Prompt("blocker\\x.dat"));
}

TEST_F(ArchiveFileOpen, TimesRoundTripAndSurviveTheClose)
{
    SYSTEMTIME when = {2001, 2, 0, 3, 4, 5, 6, 0};
    FILETIME local;
    SystemTimeToFileTime(&when, &local);
    {
        ArchiveFile file;
        FILETIME untouched = {1, 2};
        EXPECT_TRUE(file.GetTimes(&untouched, &untouched, &untouched));  // closed
        EXPECT_EQ(untouched.dwLowDateTime, 1u);
        EXPECT_TRUE(file.SetTimes(&local, &local, &local));

        ASSERT_TRUE(file.Open("t.dat", ModeWrite));
        file.Write("buffered", 8);  // still in the stream's buffer
        EXPECT_TRUE(file.SetTimes(&local, &local, &local));
        FILETIME c, a, w;
        EXPECT_TRUE(file.GetTimes(&c, &a, &w));
        EXPECT_EQ(CompareFileTime(&w, &local), 0);
    }
    ArchiveFile reread;
    ASSERT_TRUE(reread.Open("t.dat", ModeRead));
    FILETIME c, a, w;
    reread.GetTimes(&c, &a, &w);
    EXPECT_EQ(CompareFileTime(&w, &local), 0);
    EXPECT_EQ(ReadAll(reread), "buffered");
}

TEST_F(ArchiveFileOpen, EntryTimesAreTheArchives)
{
    Put("t.pak", BuildPak(Pak(2, {Raw("raw", "r"), Packed("packed", "p")})));
    SYSTEMTIME when = {1999, 12, 0, 31, 23, 59, 58, 0};
    FILETIME stamp;
    SystemTimeToFileTime(&when, &stamp);
    HANDLE h = CreateFileA(scratch.Path("t.pak").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    SetFileTime(h, nullptr, nullptr, &stamp);
    CloseHandle(h);
    FILETIME expected;
    FileTimeToLocalFileTime(&stamp, &expected);
    for (const char* name : {"raw", "packed"}) {
        ArchiveFile file;
        ASSERT_TRUE(file.Open(name, ModeRead));
        FILETIME c, a, w;
        file.GetTimes(&c, &a, &w);
        EXPECT_EQ(CompareFileTime(&w, &expected), 0) << name;
    }
}

TEST_F(ArchiveFileOpen, RevisionText)
{
    struct Row { const char* label; std::string bytes; const char* expected; } rows[] = {
        {"v2 17", [] { PakSpec s = Pak(2, {Raw("a", "b")}); s.revision = 17; return BuildPak(s); }(), "17"},
        {"v2 all bits", [] { PakSpec s = Pak(2, {}); s.revision = -1; return BuildPak(s); }(), "-1"},
        {"v1", [] { PakSpec s = Pak(1, {Raw("a", "b")}); s.revision = 17; return BuildPak(s); }(), "0"},
        {"v0", BuildPak(Pak(0, {Raw("a", "b")})), "0"},
        {"unknown version", std::string("\7\0\0\0\1\0\0\0", 8), "0"},
        // Cut inside the revision: the two bytes there are read, the rest is 0.
        {"short v2", std::string("\2\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\5\0", 18), "5"},
    };
    for (const Row& row : rows) {
        Put("r.pak", row.bytes);
        String out;
        out.Assign("rev=");
        GetArchiveRevisionText(scratch.Path("r.pak").c_str(), out);
        EXPECT_STREQ(out.text, (std::string("rev=") + row.expected).c_str()) << row.label;
    }

    MessageBoxAnswerer answerer;
    String out;
    GetArchiveRevisionText(scratch.Path("none.pak").c_str(), out);
    EXPECT_TRUE(out.IsEmpty());
    EXPECT_TRUE(answerer.boxes.empty());
    EXPECT_EQ(quietOpen, 0);
    // A caller that opens quietly itself keeps its setting.
    quietOpen = 1;
    GetArchiveRevisionText(scratch.Path("none.pak").c_str(), out);
    EXPECT_EQ(quietOpen, 1);
    quietOpen = 0;

    // A missing path read from an archive entry of the current directory.
    PakSpec inner = Pak(2, {});
    inner.revision = 42;
    Put("outer.pak", BuildPak(Pak(1, {Packed("data.pak", BuildPak(inner))})));
    GetArchiveRevisionText("data.pak", out);
    EXPECT_STREQ(out.text, "42");

    // A failure from the search passes through, and still puts the flag back.
    PakSpec broken = Pak(2, {Raw("x", "y")});
    broken.packedIndex = "not a stream";
    Put("a.pak", BuildPak(broken));
    EXPECT_EQ(ErrorMessage([&] { GetArchiveRevisionText("gone.pak", out); }), InflateFailure());
    EXPECT_EQ(quietOpen, 0);
}

TEST(ArchiveMemory, ReadsAndWritesStayInsideTheBlock)
{
    unsigned char block[12];
    std::memset(block, '.', sizeof block);
    ArchiveFile file;
    file.AttachMemory(block, 10, false);
    EXPECT_EQ(file.Size(), 10u);
    file.Write("0123456789ABCDEF", 16);
    EXPECT_EQ(file.position, 10u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block), 12), "0123456789..");
    file.Seek(8);
    char out[16];
    EXPECT_EQ(file.Read(out, 16), 2u);
    EXPECT_EQ(std::string(out, 2), "89");
    file.Seek(100);
    EXPECT_EQ(file.position, 10u);
    EXPECT_EQ(file.Read(out, 1), 0u);
    file.Close();
    EXPECT_FALSE(file.inMemory);
    EXPECT_EQ(file.Read(out, 1), 0u);
}
