#include "trust/update_manifest.h"

#include <cstdio>
#include <cstring>

namespace {

int HexValue(char c, bool upperAllowed)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (upperAllowed && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ParseHex(const std::string& text, unsigned char* out, size_t bytes, bool upperAllowed)
{
    if (text.size() != 2 * bytes)
        return false;
    for (size_t i = 0; i < bytes; ++i) {
        const int high = HexValue(text[2 * i], upperAllowed);
        const int low = HexValue(text[2 * i + 1], upperAllowed);
        if (high < 0 || low < 0)
            return false;
        out[i] = static_cast<unsigned char>(high << 4 | low);
    }
    return true;
}

// Decimal without sign or leading zero, at most limit.
bool ParseDecimal(const std::string& text, uint64_t limit, uint64_t& value)
{
    if (text.empty() || text.size() > 20 || (text[0] == '0' && text.size() > 1))
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        const uint64_t digit = uint64_t(c - '0');
        if (value > (limit - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

// Strict UTF-8 (no overlong form, no surrogate, nothing above U+10FFFF) to
// UTF-16, refusing control characters; false for an empty text too, and for
// one that begins or ends with a space (the separator).
bool TextField(const std::string& text, std::wstring& wide)
{
    wide.clear();
    if (text.empty() || text.front() == ' ' || text.back() == ' ')
        return false;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* end = p + text.size();
    while (p < end) {
        uint32_t c = *p++;
        int more = 0;
        uint32_t least = 0;
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F)
                return false;
        } else if ((c & 0xE0) == 0xC0) {
            c &= 0x1F, more = 1, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            c &= 0x0F, more = 2, least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            c &= 0x07, more = 3, least = 0x10000;
        } else {
            return false;
        }
        if (end - p < more)
            return false;
        for (int i = 0; i < more; ++i) {
            if ((*p & 0xC0) != 0x80)
                return false;
            c = c << 6 | (*p++ & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) || (c >= 0x80 && c < 0xA0))
            return false;
        if (c >= 0x10000) {
            c -= 0x10000;
            wide += wchar_t(0xD800 + (c >> 10));
            wide += wchar_t(0xDC00 + (c & 0x3FF));
        } else {
            wide += wchar_t(c);
        }
    }
    return !wide.empty();
}

bool IsLeapYear(uint64_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

}  // namespace

bool ParseManifestTime(const std::string& text, uint64_t& stamp)
{
    static const char form[] = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != sizeof form - 1)
        return false;
    uint64_t digits = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (form[i] != 'd') {
            if (text[i] != form[i])
                return false;
        } else if (text[i] >= '0' && text[i] <= '9') {
            digits = digits * 10 + uint64_t(text[i] - '0');
        } else {
            return false;
        }
    }
    const uint64_t year = digits / 10000000000u, month = digits / 100000000u % 100,
                   day = digits / 1000000 % 100, hour = digits / 10000 % 100,
                   minute = digits / 100 % 100, second = digits % 100;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year == 0 || month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59)
        return false;
    if (day > uint64_t(days[month - 1] + (month == 2 && IsLeapYear(year))))
        return false;
    stamp = digits;
    return true;
}

namespace {

// Splits line at single spaces into at most count fields, the last taking
// the rest; false when a field would be empty.
bool Fields(const std::string& line, size_t count, std::vector<std::string>& fields)
{
    fields.clear();
    size_t at = 0;
    while (fields.size() + 1 < count) {
        const size_t space = line.find(' ', at);
        if (space == std::string::npos || space == at)
            return false;
        fields.push_back(line.substr(at, space - at));
        at = space + 1;
    }
    fields.push_back(line.substr(at));
    return !fields.back().empty();
}

// One line of the manifest, judged by what is expected there.
class ManifestLines {
public:
    explicit ManifestLines(UpdateManifest& manifest) : manifest_(manifest), next_(0) {}
    virtual ~ManifestLines() {}

    bool Take(const std::string& line)
    {
        std::vector<std::string> f;
        const std::string word = line.substr(0, line.find(' '));
        switch (next_) {
        case 0:
            next_ = 1;
            return line == "update-manifest 1";
        case 1:
            next_ = 2;
            return word == "product" && Fields(line, 2, f) && TextField(f[1], manifest_.product);
        case 2:
            next_ = 3;
            return word == "version" && Fields(line, 2, f) && TextField(f[1], manifest_.version);
        case 3: {
            next_ = 4;
            uint64_t sequence = 0;
            if (!(word == "sequence" && Fields(line, 2, f) && ParseDecimal(f[1], UINT32_MAX, sequence) &&
                  sequence >= 1))
                return false;
            manifest_.sequence = uint32_t(sequence);
            return true;
        }
        case 4:
            next_ = 5;
            if (word == "expires")
                return Fields(line, 2, f) && ParseManifestTime(f[1], manifest_.expires);
            [[fallthrough]];  // no expiry: this is the settings line
        case 5:
            next_ = 6;
            return word == "settings" && Fields(line, 3, f) &&
                   ParseDecimal(f[1], UINT64_MAX, manifest_.settingsSize) &&
                   ParseHex(f[2], manifest_.settingsDigest.data(), 32, false);
        default:
            return Body(word, line);
        }
    }

    bool Complete() const { return next_ == 6; }

private:
    bool Body(const std::string& word, const std::string& line)
    {
        std::vector<std::string> f;
        if (word == "file") {
            ManifestFile file;
            if (!(Fields(line, 4, f) && ParseDecimal(f[1], UINT64_MAX, file.size) &&
                  ParseHex(f[2], file.digest.data(), 32, false) && TextField(f[3], file.item)))
                return false;
            return manifest_.Add(file);
        }
        if (word == "trust-key" || word == "revoke-key") {
            P256PublicKey key;
            if (!(Fields(line, 2, f) && ParsePublicKey(f[1], key)))
                return false;
            (word == "trust-key" ? manifest_.trustKeys : manifest_.revokeKeys).push_back(key);
            return true;
        }
        return false;
    }

    UpdateManifest& manifest_;
    int next_;  // 0..5: the header line expected; 6: the body
};

// Lower-case hex, as digests and keys are written.
std::string HexText(const unsigned char* bytes, size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += "0123456789abcdef"[bytes[i] >> 4];
        text += "0123456789abcdef"[bytes[i] & 0xF];
    }
    return text;
}

std::string Utf8(const std::wstring& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

ManifestFile::ManifestFile() : size(0), digest() {}

ManifestFile::~ManifestFile() {}

UpdateManifest::UpdateManifest()
    : sequence(0), expires(0), settingsSize(0), settingsDigest()
{
}

UpdateManifest::~UpdateManifest() {}

bool UpdateManifest::Add(const ManifestFile& file)
{
    if (!index_.emplace(ItemKey(file.item), files.size()).second)
        return false;
    files.push_back(file);
    return true;
}

const ManifestFile* UpdateManifest::Find(const std::wstring& item) const
{
    const auto found = index_.find(ItemKey(item));
    return found == index_.end() ? nullptr : &files[found->second];
}

bool ParsePublicKey(const std::string& hex, P256PublicKey& key)
{
    return ParseHex(hex, key.data(), key.size(), true);
}

std::string PublicKeyText(const P256PublicKey& key)
{
    return HexText(key.data(), key.size());
}

std::string KeyId(const P256PublicKey& key)
{
    const Sha256::Digest digest = Sha256::Of(key.data(), key.size());
    return HexText(digest.data(), 8);
}

std::string ManifestText(const UpdateManifest& manifest)
{
    std::string text = "update-manifest 1\nproduct " + Utf8(manifest.product) + "\nversion " +
                       Utf8(manifest.version) + "\nsequence " + std::to_string(manifest.sequence) + "\n";
    if (manifest.expires != 0)
        text += "expires " + ManifestTimeText(manifest.expires) + "\n";
    text += "settings " + std::to_string(manifest.settingsSize) + " " +
            HexText(manifest.settingsDigest.data(), 32) + "\n";
    for (const ManifestFile& file : manifest.files)
        text += "file " + std::to_string(file.size) + " " + HexText(file.digest.data(), 32) + " " +
                Utf8(file.item) + "\n";
    for (const P256PublicKey& key : manifest.trustKeys)
        text += "trust-key " + PublicKeyText(key) + "\n";
    for (const P256PublicKey& key : manifest.revokeKeys)
        text += "revoke-key " + PublicKeyText(key) + "\n";
    return text;
}

bool ParseManifest(const char* data, size_t size, UpdateManifest& manifest, size_t* badLine)
{
    manifest = UpdateManifest();
    ManifestLines lines(manifest);
    size_t number = 0;
    size_t at = 0;
    auto fail = [&](size_t line) {
        if (badLine)
            *badLine = line;
        return false;
    };
    if (size > maxManifestBytes)
        return fail(1);
    while (at < size) {
        ++number;
        const char* end = static_cast<const char*>(memchr(data + at, '\n', size - at));
        if (!end)
            return fail(number);  // the last line has no LF
        const std::string line(data + at, end);
        // A NUL or CR byte is no character of any field.
        if (line.find('\0') != std::string::npos || !lines.Take(line))
            return fail(number);
        at = size_t(end - data) + 1;
    }
    return lines.Complete() ? true : fail(number + 1);
}

std::string ManifestTimeText(uint64_t stamp)
{
    char text[32];
    const unsigned long long s = stamp;
    snprintf(text, sizeof text, "%04llu-%02llu-%02lluT%02llu:%02llu:%02lluZ", s / 10000000000u,
             s / 100000000u % 100, s / 1000000 % 100, s / 10000 % 100, s / 100 % 100, s % 100);
    return text;
}
