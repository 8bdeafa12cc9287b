#include "settings/settings_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/string.h"
#include "tests/support/archive_writer.h"
#include "tests/support/message_box_answerer.h"
#include "tests/support/scratch_dir.h"

namespace {

const char kUnchanged[] = "<unchanged>";

String MakeText(const std::string& bytes)
{
    String text;
    if (!bytes.empty())
        text.Assign(bytes.data(), int32_t(bytes.size()));
    return text;
}

std::string Search(String& text, const char* section, const char* key)
{
    String value;
    value.Assign(kUnchanged);
    FindSettingValue(section, key, value, text);
    return value.text != nullptr ? std::string(value.text) : std::string("<no buffer>");
}

std::string Search(const std::string& bytes, const char* section, const char* key)
{
    String text = MakeText(bytes);
    return Search(text, section, key);
}

struct Row {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    std::string expected;
};

void RunRows(const std::vector<Row>& rows)
{
    for (const Row& row : rows)
        EXPECT_EQ(Search(row.text, row.section, row.key), row.expected) << "row: " << row.name;
}

}  // namespace

TEST(SettingsText, SourceLiteralsAreCodePage932)
{
    // The Shift-JIS rows below rely on these trail bytes being 0x5C.
    EXPECT_EQ(std::string("表"), "\x95\x5C");
    EXPECT_EQ(std::string("ソ"), "\x83\x5C");
}

TEST(SettingsText, LineEnds)
{
    RunRows({
        {"crlf", "[update]\r\nName=Foo\r\nTitle=T\r\n", "update", "Title", "T"},
        {"lf", "[update]\nName=Foo\nTitle=T\n", "update", "Title", "T"},
        {"cr", "[update]\rName=Foo\rTitle=T\r", "update", "Title", "T"},
        {"blank lines", "\r\n\r\n[update]\r\n\n\r\rName=Foo\r\n\r\n", "update", "Name", "Foo"},
        {"no line break at all", "Name=Foo", "update", "Name", "Foo"},
        {"no final line end", "[update]\nName=Foo", "update", "Name", "Foo"},
    });
}

TEST(SettingsText, Comments)
{
    RunRows({
        {"comment never a key", "[update]\n'Name=Foo\nName=Bar\n", "update", "Name", "Bar"},
        {"comment only key", "[update]\n'Name=Foo\n", "update", "Name", kUnchanged},
        {"crlf comment", "[update]\r\n'x\r\nName=Foo\r\n", "update", "Name", "Foo"},
        {"lone cr hides up to lf", "[update]\n'x\rName=Hidden\rTitle=Also\nVersion=2\n", "update", "Name", kUnchanged},
        {"lone cr hides second line", "[update]\n'x\rName=Hidden\rTitle=Also\nVersion=2\n", "update", "Title", kUnchanged},
        {"line after the lf read", "[update]\n'x\rName=Hidden\rTitle=Also\nVersion=2\n", "update", "Version", "2"},
        {"no lf after comment", "[update]\r'x\rName=Foo\r", "update", "Name", "Foo"},
        {"cr-only comments everywhere", "'a\r'b\r[update]\r'c\rName=Foo\r'd", "update", "Name", "Foo"},
        {"semicolon is a key", "[update]\n;Name=Foo\n", "update", ";Name", "Foo"},
        {"semicolon line is not Name", "[update]\n;Name=Foo\n", "update", "Name", kUnchanged},
        {"hash is a key", "[update]\n#Name=Foo\n", "update", "#Name", "Foo"},
        {"apostrophe inside a value", "[update]\nName=it's\n", "update", "Name", "it's"},
    });
}

TEST(SettingsText, KeysAndValues)
{
    RunRows({
        {"equals", "[update]\nName=Foo\n", "update", "Name", "Foo"},
        {"tab equals tab", "[update]\nName\t=\tFoo\n", "update", "Name", "Foo"},
        {"tab only", "[update]\nName\tFoo\n", "update", "Name", "Foo"},
        {"spaces around equals", "[update]\nName = Foo\n", "update", "Name", kUnchanged},
        {"key keeps its space", "[update]\nName = Foo\n", "update", "Name ", "Foo"},
        {"trailing spaces kept", "[update]\nName=Foo  \n", "update", "Name", "Foo  "},
        {"inner spaces kept", "[update]\nTitle=My  App\n", "update", "Title", "My  App"},
        {"tab ends value", "[update]\nName=Foo\tremark\n", "update", "Name", "Foo"},
        {"separator run skipped", "[update]\nName= =\t= Foo=Bar\n", "update", "Name", "Foo=Bar"},
        {"leading tabs skipped", "[update]\n\t\tName=Foo\n", "update", "Name", "Foo"},
        {"leading space kept", "[update]\n Name=Foo\n", "update", "Name", kUnchanged},
        {"no separator", "[update]\nName\n", "update", "Name", kUnchanged},
        {"only tabs", "[update]\n\t\t\n", "update", "Name", kUnchanged},
        {"empty key", "[update]\n=Foo\n", "update", "", kUnchanged},
        {"empty then later", "[update]\nName=\nName=Foo\n", "update", "Name", "Foo"},
        {"spaces only then later", "[update]\nName=  \t\nName=Bar\n", "update", "Name", "Bar"},
        {"equals then tab", "[update]\nName=\tFoo\n", "update", "Name", "Foo"},
        {"first in file order wins", "[update]\nName=A\nName=B\n", "update", "Name", "A"},
        {"quotes are ordinary", "[update]\nName=\"Foo\"\n", "update", "Name", "\"Foo\""},
        {"prefix of key", "[update]\nNames=Foo\n", "update", "Name", kUnchanged},
        {"key prefix of line key", "[update]\nNam=Foo\n", "update", "Name", kUnchanged},
    });
}

TEST(SettingsText, Escapes)
{
    RunRows({
        {"backslash n", "[update]\nTitle=Line1\\nLine2\n", "update", "Title", "Line1\nLine2"},
        {"backslash t ends value", "[update]\nTitle=a\\tb\n", "update", "Title", "a"},
        {"backslash t splits key", "[update]\nNa\\tme=x\n", "update", "Na", "me=x"},
        {"escaped lf starts value", "[update]\nTitle=\\nx\n", "update", "Title", "\nx"},
        {"double backslash then n", "[update]\nTitle=a\\\\nb\n", "update", "Title", "a\\\nb"},
        {"lone backslash", "[update]\nTitle=C:\\dir\\\n", "update", "Title", "C:\\dir\\"},
    });
}

TEST(SettingsText, Sections)
{
    RunRows({
        {"lower-case key", "[update]\nbrand=X\n", "update", "Brand", "X"},
        {"upper-case header", "[UPDATE]\nName=Y\n", "update", "Name", "Y"},
        {"key above first header", "Name=Top\n[update]\nTitle=T\n", "update", "Name", "Top"},
        {"key above headers wins", "Name=Top\n[other]\nName=O\n[update]\nName=U\n", "update", "Name", "Top"},
        {"key only in other section", "[other]\nName=O\n[update]\nTitle=T\n", "update", "Name", kUnchanged},
        {"other section after", "[update]\nTitle=T\n[other]\nName=O\n", "update", "Name", kUnchanged},
        {"second section", "[other]\nName=O\n[update]\nName=U\n", "update", "Name", "U"},
        {"section twice", "[update]\nA=1\n[other]\nName=O\n[update]\nName=U2\n", "update", "Name", "U2"},
        {"no bracket", "[update\nName=Foo\n", "update", "Name", kUnchanged},
        {"no bracket shorter name", "[update\nName=Foo\n", "updat", "Name", "Foo"},
        {"no bracket trailing space", "[update \nName=Foo\n", "update", "Name", "Foo"},
        {"spaces inside brackets", "[ update ]\nName=Foo\n", "update", "Name", kUnchanged},
        {"spaces inside brackets named", "[ update ]\nName=Foo\n", " UPDATE ", "Name", "Foo"},
        {"text after bracket", "[update] remark\nName=Foo\n", "update", "Name", "Foo"},
        {"empty name skipped", "[]\nName=O\n[update]\nName=Foo\n", "update", "Name", "Foo"},
        {"lone bracket skipped", "[\nName=O\n[update]\nName=Foo\n", "update", "Name", "Foo"},
        {"empty name, no later header", "[]\nName=O\n", "", "Name", kUnchanged},
        {"bracket inside skipped section", "[other]\nList=[a]\nName=Inside\n", "update", "Name", "Inside"},
        {"bracket value not a key", "[other]\nName=[a]\n", "update", "Name", kUnchanged},
        {"second header on header line", "[other]x[update]\nName=Foo\n", "update", "Name", kUnchanged},
        {"bracket at start of next line", "[other]\n[update]\nName=Foo\n", "update", "Name", "Foo"},
        {"other section, no bracket after", "[other]\nName=O\n", "update", "Name", kUnchanged},
    });
}

TEST(SettingsText, EmptyAndDegenerateTexts)
{
    RunRows({
        {"empty", "", "update", "Name", kUnchanged},
        {"comments only", "'a\r\n'b\r\n", "update", "Name", kUnchanged},
        {"line ends only", "\r\n\n\r", "update", "Name", kUnchanged},
        {"text cut at nul", std::string("[update]\nName=A\0B\nTitle=T\n", 26), "update", "Name", "A"},
        {"lines after nul unseen", std::string("[update]\nName=A\0B\nTitle=T\n", 26), "update", "Title", kUnchanged},
        {"lone lead byte at end", "[update]\nName=Foo\n\x95", "update", "Title", kUnchanged},
        {"lone lead byte value", "[update]\nName=\x95", "update", "Name", "\x95"},
        {"lone lead byte header", "[\x95", "update", "Name", kUnchanged},
        {"bracket last byte", "[other]\nName=O\n[", "update", "Name", kUnchanged},
    });
}

TEST(SettingsText, ShiftJisTrailBytes)
{
    RunRows({
        {"double-byte key", "[update]\n表=値\n", "update", "表", "値"},
        {"key trail byte then n", "[update]\n表n=1\n", "update", "表n", "1"},
        {"value trail byte then n", "[update]\nName=表n\n", "update", "Name", "表n"},
        {"value trail byte then t", "[update]\nName=ソt\n", "update", "Name", "ソt"},
        {"real escape after trail byte", "[update]\nName=ソ\\tx\n", "update", "Name", "ソ"},
        {"real lf escape after trail byte", "[update]\nName=表\\nx\n", "update", "Name", "表\nx"},
        {"double-byte header", "[表]\nName=Foo\n", "表", "Name", "Foo"},
        {"header without bracket drops whole character", "[update表\nName=Foo\n", "update", "Name", "Foo"},
        {"different double-byte key", "[update]\n表=値\n", "update", "ソ", kUnchanged},
        {"character before bracket is double-byte", "[other]\n\x95\x95[=V\n", "update", "\x95\x95[", "V"},
        {"no line starts inside that character", "[other]\n\x95\x95[=V\n", "update", "\x95[", kUnchanged},
        {"trail byte bracket", "[other]\nName=\x81[\nTitle=T\n", "update", "Title", kUnchanged},
    });
}

TEST(SettingsText, CursorEndsOnMatchingHeader)
{
    const std::string bytes = "A=1\n[update]\nName=X\n[other]\n";
    String text = MakeText(bytes);
    EXPECT_EQ(Search(text, "update", "Name"), "X");
    EXPECT_EQ(text.cursor - text.text, 4);

    String missing = MakeText(bytes);
    EXPECT_EQ(Search(missing, "update", "Nope"), kUnchanged);
    EXPECT_EQ(missing.cursor - missing.text, 4);

    // From the header a later search reads on in the same section.
    EXPECT_EQ(Search(text, "update", "Name"), "X");
    EXPECT_EQ(std::string(text.text), bytes) << "the search must not change the text";
}

TEST(SettingsText, SearchStartsAtCursorAndWrapsOnce)
{
    const std::string bytes = "Name=Top\n[update]\nOther=1\n";
    String text = MakeText(bytes);
    text.cursor = text.text + bytes.find("Other");
    EXPECT_EQ(Search(text, "update", "Name"), "Top") << "wrap to the top";

    // A matching header counts as the pass: no wrap after it.
    String fromHeader = MakeText(bytes);
    fromHeader.cursor = fromHeader.text + bytes.find('[');
    EXPECT_EQ(Search(fromHeader, "update", "Name"), kUnchanged);

    // A skipped section with no "[" after it ends the search: no wrap either.
    const std::string skipped = "Name=Top\n[other]\nx=1\n";
    String fromOther = MakeText(skipped);
    fromOther.cursor = fromOther.text + skipped.find('[');
    EXPECT_EQ(Search(fromOther, "update", "Name"), kUnchanged);
    fromOther.cursor = fromOther.text + skipped.find('x');
    EXPECT_EQ(Search(fromOther, "update", "Name"), "Top") << "wrap from a key line";
}

TEST(SettingsText, StringWithoutBuffer)
{
    String none;
    EXPECT_EQ(Search(none, "update", "Name"), kUnchanged);
    EXPECT_EQ(none.text, nullptr);
}

TEST(SettingsText, LargeTextsEndQuickly)
{
    // Comments ending in lone CRs with no LF anywhere after them.
    std::string comments;
    for (int i = 0; i < 200000; ++i)
        comments += "'c\r";
    EXPECT_EQ(Search(comments + "Name=End", "update", "Name"), "End");

    // Headers of other sections, each followed by a "[" in a value.
    std::string headers;
    for (int i = 0; i < 50000; ++i)
        headers += "[o]\nv=[x]\n";
    EXPECT_EQ(Search(headers + "[update]\nName=End", "update", "Name"), "End");

    // One line of a megabyte without any separator.
    EXPECT_EQ(Search(std::string(1 << 20, 'x') + "\nName=End", "update", "Name"), "End");
}

namespace {

const char kIni[] =
    "'updater settings\r\n"
    "[update]\r\n"
    "Brand=Acme\r\n"
    "Name=Tool\r\n"
    "Title=アップデート表\r\n"
    "Version=2.0\r\n"
    "file=a.exe;data.pak\r\n";

std::string ReadOne(const char* key, const char* initial = kUnchanged)
{
    String value;
    value.Assign(initial);
    ReadSetting("update", key, value, "update.ini");
    return value.text != nullptr ? std::string(value.text) : std::string("<no buffer>");
}

}  // namespace

TEST(ReadSetting, PlainFile)
{
    ScratchDir dir;
    WriteFileBytes(dir.Path("update.ini"), kIni);
    CurrentDirectory cwd(dir.Path());
    MessageBoxAnswerer answerer({IDABORT});
    EXPECT_EQ(ReadOne("Brand"), "Acme");
    EXPECT_EQ(ReadOne("name"), "Tool");
    EXPECT_EQ(ReadOne("Title"), "アップデート表");
    EXPECT_EQ(ReadOne("Version"), "2.0");
    EXPECT_EQ(ReadOne("file"), "a.exe;data.pak");
    EXPECT_EQ(ReadOne("Missing", "keep"), "keep");
    EXPECT_TRUE(answerer.boxes.empty());
}

TEST(ReadSetting, TextEndsAtFirstNul)
{
    ScratchDir dir;
    WriteFileBytes(dir.Path("update.ini"), std::string("[update]\r\nName=A") + '\0' + "B\r\nTitle=T\r\n");
    CurrentDirectory cwd(dir.Path());
    MessageBoxAnswerer answerer({IDABORT});
    EXPECT_EQ(ReadOne("Name"), "A");
    EXPECT_EQ(ReadOne("Title"), kUnchanged);
}

TEST(ReadSetting, EmptyFileKeepsValues)
{
    ScratchDir dir;
    WriteFileBytes(dir.Path("update.ini"), "");
    CurrentDirectory cwd(dir.Path());
    MessageBoxAnswerer answerer({IDABORT});
    EXPECT_EQ(ReadOne("Name", "Installer"), "Installer");
    EXPECT_TRUE(answerer.boxes.empty());
}

TEST(ReadSetting, LargeFile)
{
    std::string bytes = "[update]\r\n";
    while (bytes.size() < (4u << 20))
        bytes += "Filler=0123456789012345678901234567890123456789\r\n";
    bytes += "Name=Last";
    ScratchDir dir;
    WriteFileBytes(dir.Path("update.ini"), bytes);
    CurrentDirectory cwd(dir.Path());
    MessageBoxAnswerer answerer({IDABORT});
    EXPECT_EQ(ReadOne("Name"), "Last");
}

TEST(ReadSetting, FileTooLargeToHoldIsAnErrorNotDefaults)
{
    // A sparse file of 2 GiB - 1: no String can hold it. Read as empty,
    // every setting would keep its default and the run would report success.
    ScratchDir dir;
    HANDLE file = CreateFileW(Wide(dir.Path("update.ini")).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = 0x7FFFFFFF;
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    CurrentDirectory cwd(dir.Path());
    DWORD raised = 0;
    try {
        ReadOne("Name", "Installer");
    } catch (DWORD code) {
        raised = code;
    }
    EXPECT_EQ(raised, DWORD(STATUS_NO_MEMORY));
}

TEST(ReadSetting, CompressedArchiveEntry)
{
    PakSpec pak;
    pak.version = 2;
    PakEntry other;
    other.name = "other.txt";
    other.data = "Name=Wrong\r\n";
    pak.entries.push_back(other);
    PakEntry ini;
    ini.name = "update.ini";
    ini.data = kIni;
    ini.compress = true;
    pak.entries.push_back(ini);

    ScratchDir dir;
    WriteFileBytes(dir.Path("data.pak"), BuildPak(pak));
    CurrentDirectory cwd(dir.Path());
    MessageBoxAnswerer answerer({IDABORT});
    EXPECT_EQ(ReadOne("Name"), "Tool");
    EXPECT_EQ(ReadOne("Title"), "アップデート表");
    EXPECT_TRUE(answerer.boxes.empty());
    EXPECT_FALSE(FileExists(dir.Path("update.ini")));
}

TEST(ReadSetting, MissingFileIgnored)
{
    ScratchDir dir;
    CurrentDirectory cwd(dir.Path());
    MessageBoxAnswerer answerer({IDIGNORE});
    EXPECT_EQ(ReadOne("Name", "Installer"), "Installer");
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].caption, "ファイルエラー");
    EXPECT_EQ(answerer.boxes[0].text, "ファイル update.ini が開けません。");
}

TEST(ReadSetting, MissingFileAborted)
{
    ScratchDir dir;
    CurrentDirectory cwd(dir.Path());
    MessageBoxAnswerer answerer({IDABORT});
    String value;
    value.Assign("Installer");
    try {
        ReadSetting("update", "Name", value, "update.ini");
        ADD_FAILURE() << "no exception";
    } catch (OCErrorException& e) {
        ASSERT_NE(e.message.text, nullptr);
        EXPECT_EQ(std::string(e.message.text), "ファイル update.ini が開けませんでした。");
    }
    EXPECT_EQ(std::string(value.text), "Installer");
    EXPECT_EQ(answerer.boxes.size(), 1u);
}
