#include "updtool/listing.h"

#include <cstring>
#include "updtool/text_conversion.h"
#include "updtool/tool_output.h"

namespace {

// A literal's bytes without its NUL; the size is known, so the copy is a
// few moves.
template <size_t N>
char* Put(char* out, const char (&text)[N])
{
    std::memcpy(out, text, N - 1);
    return out + N - 1;
}

const char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes value's digits ending just before end; returns where they begin.
char* DigitsBefore(char* end, uint32_t value)
{
    while (value >= 100) {
        const uint32_t pair = value % 100;
        value /= 100;
        end -= 2;
        std::memcpy(end, kDigitPairs + 2 * pair, 2);
    }
    if (value >= 10) {
        end -= 2;
        std::memcpy(end, kDigitPairs + 2 * value, 2);
    } else {
        *--end = char('0' + value);
    }
    return end;
}

char* PutDecimal(char* out, uint32_t value)
{
    if (value < 10) {
        *out = char('0' + value);
        return out + 1;
    }
    char digits[10];
    char* const end = digits + sizeof digits;
    const char* begin = DigitsBefore(end, value);
    std::memcpy(out, begin, size_t(end - begin));
    return out + (end - begin);
}

// Right-aligned in ten columns, as wide as any 32-bit number.
char* PutColumn(char* out, uint32_t value)
{
    out = Put(out, "          ");
    DigitsBefore(out, value);
    return out;
}

// Room for one entry beyond its name: three numbers, keys, punctuation.
const size_t kEntryRoom = 128;
// Written out in pieces of about this size, always between entries (a
// console gets whole characters).
const size_t kPiece = 256 * 1024;

}  // namespace

Listing::Listing(bool json, uint32_t version, uint32_t count, int32_t revision)
    : json_(json), first_(true), buffer_(kPiece + 64 * 1024), used_(0)
{
    const std::string head =
        json ? "{\"version\":" + std::to_string(version) + ",\"count\":" + std::to_string(count) +
                   ",\"revision\":" + std::to_string(revision) + ",\"entries\":["
             : "format " + std::to_string(version) + ", " + std::to_string(count) +
                   (count == 1 ? " entry" : " entries") + ", revision " +
                   std::to_string(revision) +
                   "\n    offset       size     packed  compressed  name\n";
    std::memcpy(Room(head.size()), head.data(), head.size());
    used_ += head.size();
}

Listing::~Listing() {}

char* Listing::Room(size_t n)
{
    if (used_ >= kPiece || buffer_.size() - used_ < n)
        Flush();
    if (buffer_.size() < n)
        buffer_.resize(n);
    return buffer_.data() + used_;
}

void Listing::Flush()
{
    WriteOut(buffer_.data(), used_);
    used_ = 0;
}

void Listing::Add(const char* name, uint32_t nameLength, uint32_t offset, uint32_t size,
                  uint32_t packedSize, bool compressed)
{
    // Names are mostly ASCII, which code page 932 and UTF-8 share.
    if (!IsAscii(name, nameLength)) {
        utf8_.clear();
        AppendNameUtf8(utf8_, name, nameLength);
        name = utf8_.data();
        nameLength = uint32_t(utf8_.size());
    }
    char* out = Room(JsonStringRoom(nameLength) + kEntryRoom);
    char* const start = out;
    if (json_) {
        if (!first_)
            *out++ = ',';
        out = Put(out, "{\"name\":");
        out = PutJsonString(out, name, nameLength);
        out = Put(out, ",\"offset\":");
        out = PutDecimal(out, offset);
        out = Put(out, ",\"size\":");
        out = PutDecimal(out, size);
        out = Put(out, ",\"packedSize\":");
        out = PutDecimal(out, packedSize);
        out = compressed ? Put(out, ",\"compressed\":true}") : Put(out, ",\"compressed\":false}");
    } else {
        out = PutColumn(out, offset);
        *out++ = ' ';
        out = PutColumn(out, size);
        *out++ = ' ';
        out = PutColumn(out, packedSize);
        out = compressed ? Put(out, "  yes         ") : Put(out, "  no          ");
        std::memcpy(out, name, nameLength);
        out += nameLength;
        *out++ = '\n';
    }
    first_ = false;
    used_ += size_t(out - start);
}

void Listing::Finish()
{
    if (json_) {
        std::memcpy(Room(3), "]}\n", 3);
        used_ += 3;
    }
    Flush();
}
