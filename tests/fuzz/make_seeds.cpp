// Writes the seed corpora of the fuzz targets into DIR/<target>/:
//   make_seeds DIR
// Archives of every version, raw and compressed, with code page 932 names
// and the format's edge cases, made by the test archive writer; settings
// files written out here. The output is the same on every run.

#include <sys/stat.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>
#include "tests/support/archive_writer.h"

namespace {

struct Seed {
    std::string file;
    std::string bytes;
};

const std::string kHyoSo = "\x95\x5C\\\x83\x5C.txt";  // 表\ソ.txt: trail bytes 0x5C
const std::string kFullUpper = "\x82\x60\x82\x61.txt";    // ＡＢ.txt
const std::string kFullLower = "\x82\x81\x82\x82";        // ａｂ, its lower case

PakEntry Entry(const std::string& name, const std::string& data, bool compress = false)
{
    PakEntry e;
    e.name = name;
    e.data = data;
    e.compress = compress;
    return e;
}

PakSpec Spec(uint32_t version, std::vector<PakEntry> entries, int32_t revision = 0)
{
    PakSpec spec;
    spec.version = version;
    spec.revision = revision;
    spec.entries = std::move(entries);
    return spec;
}

// Bytes that do not compress, so a stream spans several 4 KiB chunks.
std::string Noise(size_t n)
{
    std::string out;
    uint32_t x = 12345;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        out += char(x >> 24);
    }
    return out;
}

// a.txt ("abc", or `data`) in an archive of `version`, one stored field
// made wrong by `damage`.
template <class Damage>
std::string Damaged(uint32_t version, bool compress, Damage damage, const std::string& data = "abc")
{
    PakSpec spec = Spec(version, {Entry("a.txt", data, compress)});
    damage(spec);
    return BuildPak(spec);
}

std::vector<Seed> Archives()
{
    const std::string text(600, 'x');
    PakSpec negative = Spec(2, {Entry("a.txt", "raw")}, -1);
    negative.extra = std::string(256, '\xEE');
    std::vector<Seed> s = {
        {"v0-empty", BuildPak(Spec(0, {}))},
        {"v0-one", BuildPak(Spec(0, {Entry("a.txt", "abc")}))},
        {"v0-names", BuildPak(Spec(0, {Entry("", "empty name"), Entry("bg01.png", "png"),
                                       Entry(kHyoSo, "so"), Entry("dir\\deep.bin", "deep"),
                                       Entry("a.txt", "first"), Entry("A.TXT", "second"),
                                       Entry(kFullUpper, "full width")}))},
        {"v1-mixed", BuildPak(Spec(1, {Entry("raw.txt", "raw bytes"), Entry("a.txt", text, true),
                                       Entry(kHyoSo, "so", true)}))},
        {"v2-revision", BuildPak(Spec(2, {Entry("a.txt", "abc", true)}, 17))},
        {"v2-negative-revision", BuildPak(negative)},
        {"v2-chunks", BuildPak(Spec(2, {Entry("a.txt", Noise(10000), true)}, 3))},
        {"v2-empty-entry", BuildPak(Spec(2, {Entry("a.txt", "", false)}))},
        {"v2-name-with-nul", BuildPak(Spec(2, {Entry(std::string("a.txt\0hidden", 12), "abc", true)}))},
        {"v1-bytes-after-stream", Damaged(1, true, [](PakSpec& p) {
             p.entries[0].packedSize = uint32_t(ZlibCompress("abc").size() + 5); }) + "junk!"},
        // Damage, each where a reader must stop.
        {"v3-unknown", BuildPak(Spec(3, {Entry("a.txt", "abc")}))},
        {"short-header", std::string("\x02\x00\x00\x00\x01\x00", 6)},
        {"v1-index-size-0", Damaged(1, false, [](PakSpec& p) { p.indexSize = 0; })},
        {"v1-packed-index-size-0", Damaged(1, false, [](PakSpec& p) { p.packedIndexSize = 0; })},
        {"v2-packed-index-past-end", Damaged(2, false, [](PakSpec& p) { p.packedIndexSize = 100000; })},
        {"v1-index-too-large", Damaged(1, false, [](PakSpec& p) { p.indexSize = 0x7FFFFFFF; })},
        {"v1-index-implausible", Damaged(1, false, [](PakSpec& p) { p.indexSize = 100000; })},
        {"v1-index-size-wrong", Damaged(1, false, [](PakSpec& p) { p.indexSize = 40; })},
        {"v2-corrupt-index", Damaged(2, false, [](PakSpec& p) {
             p.packedIndex = std::string("\x78\x9C\xFF\xFF\xFF\xFF\x00\x00", 8); })},
        {"v1-name-past-index", Damaged(1, false, [](PakSpec& p) { p.entries[0].nameLength = 1000; })},
        // The name fits the index, the words behind it do not.
        {"v1-record-words-past-index", Damaged(1, false, [](PakSpec& p) { p.entries[0].nameLength = 20; })},
        {"v0-name-past-file", Damaged(0, false, [](PakSpec& p) { p.entries[0].nameLength = 0xFFFFFFF0; })},
        {"v0-count-past-file", Damaged(0, false, [](PakSpec& p) { p.count = 3; p.entries[0].name = "b"; })},
        {"v2-count-past-index", Damaged(2, false, [](PakSpec& p) { p.count = 1000; p.entries[0].name = "b"; })},
        {"v1-offset-past-file", Damaged(1, false, [](PakSpec& p) { p.entries[0].offset = 0xFFFFFFF0; })},
        {"v0-size-past-file", Damaged(0, false, [](PakSpec& p) { p.entries[0].size = 0x80000000; })},
        {"v2-packed-size-0", Damaged(2, true, [](PakSpec& p) { p.entries[0].packedSize = 0; })},
        {"v2-entry-larger-than-size", Damaged(2, true, [](PakSpec& p) { p.entries[0].size = 10; }, text)},
        {"v1-entry-shorter-than-size", Damaged(1, true, [](PakSpec& p) { p.entries[0].size = 100; })},
        {"v1-entry-implausible-size", Damaged(1, true, [](PakSpec& p) { p.entries[0].size = 0x40000000; })},
    };
    s.push_back({"v2-cut-in-header", s[4].bytes.substr(0, 100)});  // of v2-revision
    s.push_back({"v0-record-cut", s[1].bytes.substr(0, 23)});      // of v0-one: 6 of 12 words
    const std::string cut = BuildPak(Spec(2, {Entry("a.txt", Noise(5000), true)}));
    s.push_back({"v2-entry-cut-short", cut.substr(0, cut.size() - 2000)});
    return s;
}

std::vector<Seed> Lookups()
{
    const std::vector<Seed> archives = Archives();
    std::vector<Seed> s;
    // The first byte answers an open prompt: '0' Ignore, '1' Retry, '2' Abort.
    for (const Seed& a : archives)
        s.push_back({a.file, "0a.txt" + std::string(1, '\0') + a.bytes});
    const std::string names = archives[2].bytes;  // v0-names
    const std::string mixed = archives[3].bytes;  // v1-mixed
    const std::vector<std::pair<std::string, std::string>> sought = {
        {"prefix", "bg"}, {"upper", "A.TXT"}, {"empty", ""}, {"doubled-backslash", "dir\\\\deep"},
        {"cp932", kHyoSo}, {"absent", "absent"}, {"wildcard", "*.pak"}, {"wildcard-prefix", "raw*"},
        {"plain-file", "a.pak"}, {"drive-path", "Z:\\update\\a.pak"}, {"other-drive", "C:\\a.txt"},
        {"folder", "."}, {"star", "*"}, {"full-width", kFullLower},
        // Paths as the system resolves them: beyond MAX_PATH (the \\?\ form),
        // through "..", and with a lead byte alone (no exact UTF-16 form).
        {"long", std::string(300, 'x')}, {"dot-dot", "..\\update\\.\\a.pak"}, {"lone-lead", "a\x81"}};
    for (const auto& n : sought) {
        s.push_back({"v0-names-" + n.first, "0" + n.second + std::string(1, '\0') + names});
        s.push_back({"v1-mixed-" + n.first, "0" + n.second + std::string(1, '\0') + mixed});
    }
    s.push_back({"answer-retry", "1absent" + std::string(1, '\0') + mixed});
    s.push_back({"answer-abort", "2absent" + std::string(1, '\0') + mixed});
    s.push_back({"answer-abort-cp932", "2" + kHyoSo + "x" + std::string(1, '\0') + mixed});
    s.push_back({"answer-abort-lone-lead", "2absent\x81" + std::string(1, '\0') + mixed});
    return s;
}

std::vector<Seed> Orders()
{
    auto two = [](const std::string& name, const std::string& a, const std::string& b) {
        const uint32_t n = uint32_t(a.size());
        return name + std::string(1, '\0') + a + b + char(n & 0xFF) + char(n >> 8);
    };
    const std::string a = BuildPak(Spec(2, {Entry("same.txt", "from a", true)}, 1));
    const std::string b = BuildPak(Spec(1, {Entry("same.txt", "from b"), Entry("only-b.txt", "b", true)}));
    const std::string b0 = BuildPak(Spec(0, {Entry("only-b.txt", "b0")}));
    PakSpec damaged = Spec(2, {Entry("same.txt", "abc")});
    damaged.packedIndex = std::string("\x78\x9C\x00\x00", 4);
    return {
        {"both-hold-it", two("same.txt", a, b)},
        {"fall-through", two("only-b.txt", a, b)},
        {"fall-through-v0", two("only-b.txt", a, b0)},
        {"nowhere", two("absent", a, b)},
        {"first-damaged", two("same.txt", BuildPak(damaged), b)},
        {"first-unknown-version", two("same.txt", BuildPak(Spec(7, {})), b)},
        {"first-empty", two("only-b", "", b)},
    };
}

std::vector<Seed> Settings()
{
    // '0' plain file, '1' raw archive entry, '2' compressed archive entry.
    return {
        {"readme", "0[update]\r\nBrand=Quillmark\r\nName=Installer\r\n"
                   "Title=\x83\x41\x83\x62\x83\x76\x83\x66\x81\x5B\x83\x67\r\nVersion=1.01\r\n"
                   "file=game.exe;engine.dll;data.pak;readme.txt\r\n"},
        {"raw-entry", "1[update]\nName=Raw\nfile=;a;;b;\n"},
        {"packed-entry", "2'comment\n[update]\nName=Packed\nVersion=2.0\n"},
        {"line-ends", "0[update]\rBrand=CR\r\rName=only\n\nTitle=LF\r\n"},
        {"comment-lone-cr", "0[update]\r'hidden\rName=hidden\nName=seen\n"},
        {"separators", "0[update]\n\tName\t=\tTabbed\tremark\nBrand = spaced\nTitle=  =x \n"},
        {"escapes", "0[update]\nTitle=Line1\\nLine2\\tcut\nfile=a\\\\n\n"},
        {"key-above-header", "0Version=top\n[other]\nName=other\n[UPDATE]\nbrand=X\n"},
        {"no-closing-bracket", "0[update\nName=lost\n[update ]\nName=space\n[update]\nName=ok\n"},
        {"bracket-in-value", "0[other]\nList=[a]\nName=inside\n[update]\n"},
        {"no-later-bracket", "0[other]\nName=other\n"},
        {"empty-section-names", "0[]\nName=a\n[\n[update]\nName=b\n"},
        {"file-paths", "0[update]\nfile=C:\\x.exe;\\abs.txt;Z:\\update\\update.ini;s\\\x95\x5C.pak\n"},
        {"empty-then-value", "0[update]\nName=\nName=Later\n"},
        {"no-separator", "0[update]\nName\n=Name\n\t\t\n"},
        {"cp932", "0[\x95\x5C]\n\x95\x5C=\x92\x6C\n[update]\nTitle=\x95\x5C\\n\x83\x5C\\t\n"},
        {"lone-lead-bytes", "0[update]\nName=\x81\r\nTitle=\x95\nfile=\xFC\t\n"},
        {"nul", std::string("0[update]\nName=cut\0Title=hidden\n", 32)},
        {"empty", "0"},
        {"only-comments", "2'a\r\n'b\r'c"},
    };
}

std::vector<Seed> Strings()
{
    return {
        {"path", "Z:\\update\\dir\\name.exe"},
        {"cp932-path", "\x95\x5C\\\x83\x5C\\file.pak\\"},
        {"list", ";a;;b;"},
        {"backslashes", "dir\\\\\\\\file\\\\\\"},
        {"counted", std::string("\x03\x00\x00\x00" "abc", 7)},
        {"lead-at-end", "abc\x81"},
        // In a text a doubled backslash is one and a backslash before another
        // byte ends it; the last bytes choose the path helpers (13).
        {"long-path", "dir\\\\" + std::string(300, 'x') + "\\\\..\\\\name\\E\\E" "\x0d" "\x01"},
    };
}

void Write(const std::string& dir, const std::vector<Seed>& seeds)
{
    mkdir(dir.c_str(), 0755);
    for (const Seed& seed : seeds) {
        const std::string path = dir + "/" + seed.file;
        FILE* out = fopen(path.c_str(), "wb");
        if (out == nullptr || fwrite(seed.bytes.data(), 1, seed.bytes.size(), out) != seed.bytes.size() ||
            fclose(out) != 0) {
            perror(path.c_str());
            std::exit(2);
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    mkdir(dir.c_str(), 0755);
    Write(dir + "/archive_lookup", Lookups());
    Write(dir + "/archive_order", Orders());
    Write(dir + "/settings", Settings());
    Write(dir + "/string", Strings());
    return 0;
}
