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

std::string Word(uint32_t v)
{
    std::string out;
    for (int i = 0; i < 4; ++i)
        out += char(v >> (8 * i));
    return out;
}

std::vector<Seed> Archives()
{
    const std::string text(600, 'x');
    std::vector<Seed> s;
    s.push_back({"v0-empty", BuildPak(Spec(0, {}))});
    s.push_back({"v0-one", BuildPak(Spec(0, {Entry("a.txt", "abc")}))});
    s.push_back({"v0-names", BuildPak(Spec(0, {Entry("", "empty name"), Entry("bg01.png", "png"),
                                               Entry(kHyoSo, "so"), Entry("dir\\deep.bin", "deep"),
                                               Entry("a.txt", "first"), Entry("A.TXT", "second"),
                                               Entry(kFullUpper, "full width")}))});
    s.push_back({"v1-mixed", BuildPak(Spec(1, {Entry("raw.txt", "raw bytes"),
                                               Entry("a.txt", text, true),
                                               Entry(kHyoSo, "so", true)}))});
    s.push_back({"v2-revision", BuildPak(Spec(2, {Entry("a.txt", "abc", true)}, 17))});
    PakSpec negative = Spec(2, {Entry("a.txt", "raw")}, -1);
    negative.extra = std::string(256, '\xEE');
    s.push_back({"v2-negative-revision", BuildPak(negative)});
    s.push_back({"v2-chunks", BuildPak(Spec(2, {Entry("a.txt", Noise(10000), true)}, 3))});
    s.push_back({"v2-empty-entry", BuildPak(Spec(2, {Entry("a.txt", "", false)}))});
    PakSpec trailing = Spec(1, {Entry("a.txt", "abc", true)});
    trailing.entries[0].packedSize = uint32_t(ZlibCompress("abc").size() + 5);
    s.push_back({"v1-bytes-after-stream", BuildPak(trailing) + "junk!"});

    // Damage, each where a reader must stop.
    s.push_back({"v3-unknown", BuildPak(Spec(3, {Entry("a.txt", "abc")}))});
    s.push_back({"short-header", std::string("\x02\x00\x00\x00\x01\x00", 6)});
    s.push_back({"v2-cut-in-header", s[4].bytes.substr(0, 100)});  // of v2-revision
    s.push_back({"v0-record-cut", s[1].bytes.substr(0, 23)});      // of v0-one: 6 of 12 words
    PakSpec zero = Spec(1, {Entry("a.txt", "abc")});
    zero.indexSize = 0;
    s.push_back({"v1-index-size-0", BuildPak(zero)});
    PakSpec past = Spec(2, {Entry("a.txt", "abc")});
    past.packedIndexSize = 100000;
    s.push_back({"v2-packed-index-past-end", BuildPak(past)});
    PakSpec nothing = Spec(1, {Entry("a.txt", "abc")});
    nothing.packedIndexSize = 0;
    s.push_back({"v1-packed-index-size-0", BuildPak(nothing)});
    PakSpec huge = Spec(1, {Entry("a.txt", "abc")});
    huge.indexSize = 0x7FFFFFFF;
    s.push_back({"v1-index-too-large", BuildPak(huge)});
    PakSpec implausibleIndex = Spec(1, {Entry("a.txt", "abc")});
    implausibleIndex.indexSize = 100000;
    s.push_back({"v1-index-implausible", BuildPak(implausibleIndex)});
    PakSpec bigger = Spec(1, {Entry("a.txt", "abc")});
    bigger.indexSize = 40;  // the stream makes fewer bytes
    s.push_back({"v1-index-size-wrong", BuildPak(bigger)});
    PakSpec corrupt = Spec(2, {Entry("a.txt", "abc")});
    corrupt.packedIndex = std::string("\x78\x9C\xFF\xFF\xFF\xFF\x00\x00", 8);
    s.push_back({"v2-corrupt-index", BuildPak(corrupt)});
    PakSpec name = Spec(1, {Entry("a.txt", "abc")});
    name.entries[0].nameLength = 1000;
    s.push_back({"v1-name-past-index", BuildPak(name)});
    PakSpec words = Spec(1, {Entry("a.txt", "abc")});
    words.entries[0].nameLength = 20;  // the name fits, the words behind it do not
    s.push_back({"v1-record-words-past-index", BuildPak(words)});
    s.push_back({"v2-name-with-nul",
                 BuildPak(Spec(2, {Entry(std::string("a.txt\0hidden", 12), "abc", true)}))});
    PakSpec name0 = Spec(0, {Entry("a.txt", "abc")});
    name0.entries[0].nameLength = 0xFFFFFFF0;
    s.push_back({"v0-name-past-file", BuildPak(name0)});
    PakSpec count = Spec(0, {Entry("b.txt", "abc")});
    count.count = 3;
    s.push_back({"v0-count-past-file", BuildPak(count)});
    PakSpec count2 = Spec(2, {Entry("b.txt", "abc")});
    count2.count = 1000;
    s.push_back({"v2-count-past-index", BuildPak(count2)});
    PakSpec offset = Spec(1, {Entry("a.txt", "abc")});
    offset.entries[0].offset = 0xFFFFFFF0;
    s.push_back({"v1-offset-past-file", BuildPak(offset)});
    PakSpec size0 = Spec(0, {Entry("a.txt", "abc")});
    size0.entries[0].size = 0x80000000;
    s.push_back({"v0-size-past-file", BuildPak(size0)});
    PakSpec packed0 = Spec(2, {Entry("a.txt", "abc", true)});
    packed0.entries[0].packedSize = 0;
    s.push_back({"v2-packed-size-0", BuildPak(packed0)});
    PakSpec small = Spec(2, {Entry("a.txt", text, true)});
    small.entries[0].size = 10;  // inflates to more than the block
    s.push_back({"v2-entry-larger-than-size", BuildPak(small)});
    PakSpec large = Spec(1, {Entry("a.txt", "abc", true)});
    large.entries[0].size = 100;  // inflates to fewer bytes
    s.push_back({"v1-entry-shorter-than-size", BuildPak(large)});
    PakSpec implausible = Spec(1, {Entry("a.txt", "abc", true)});
    implausible.entries[0].size = 0x40000000;
    s.push_back({"v1-entry-implausible-size", BuildPak(implausible)});
    PakSpec cut = Spec(2, {Entry("a.txt", Noise(5000), true)});
    std::string cutBytes = BuildPak(cut);
    cutBytes.resize(cutBytes.size() - 2000);
    s.push_back({"v2-entry-cut-short", cutBytes});
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
        {"folder", "."}, {"star", "*"}, {"full-width", kFullLower}};
    for (const auto& n : sought) {
        s.push_back({"v0-names-" + n.first, "0" + n.second + std::string(1, '\0') + names});
        s.push_back({"v1-mixed-" + n.first, "0" + n.second + std::string(1, '\0') + mixed});
    }
    s.push_back({"answer-retry", "1absent" + std::string(1, '\0') + mixed});
    s.push_back({"answer-abort", "2absent" + std::string(1, '\0') + mixed});
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
