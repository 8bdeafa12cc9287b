#include "journal/journal_format.h"

#include <zlib.h>
#include <cstring>
#include <set>
#include "base/little_endian.h"

namespace {

// Reads one record's payload; every length checked against what is left.
class PayloadReader {
public:
    PayloadReader(const unsigned char* data, size_t size) : data_(data), left_(size), ok_(true) {}
    virtual ~PayloadReader() {}

    bool Ok() const { return ok_; }
    bool Done() const { return ok_ && left_ == 0; }

    uint64_t U64()
    {
        const uint64_t low = U32();
        return uint64_t(U32()) << 32 | low;
    }

    void Bytes(unsigned char* out, size_t n)
    {
        if (left_ < n) {
            ok_ = false;
            return;
        }
        std::memcpy(out, data_, n);
        data_ += n;
        left_ -= n;
    }

    uint32_t U32()
    {
        if (left_ < 4) {
            ok_ = false;
            return 0;
        }
        const uint32_t value = LoadU32(data_);
        data_ += 4;
        left_ -= 4;
        return value;
    }

    std::wstring Text()
    {
        const uint32_t count = U32();
        if (!ok_ || count > left_ / 2) {
            ok_ = false;
            return std::wstring();
        }
        std::wstring text(count, L'\0');
        for (uint32_t i = 0; i < count; ++i)
            text[i] = wchar_t(data_[2 * i] | data_[2 * i + 1] << 8);
        data_ += 2 * size_t(count);
        left_ -= 2 * size_t(count);
        return text;
    }

    // A count of items each taking at least `least` bytes.
    uint32_t Count(size_t least)
    {
        const uint32_t count = U32();
        if (count > left_ / least)
            ok_ = false;
        return ok_ ? count : 0;
    }

private:
    const unsigned char* data_;
    size_t left_;
    bool ok_;
};

// One whole record into contents. False when a run never writes it so: a
// payload that does not hold exactly what its kind says, an unknown kind, folders
// twice or one of them twice, replacements twice.
bool Apply(uint32_t kind, PayloadReader& payload, JournalContents& contents, bool first)
{
    if (first != (kind == kJournalFolders))
        return false;
    switch (kind) {
    case kJournalFolders: {
        contents.allOrNothing = payload.U32() != 0;
        const uint32_t count = payload.Count(4);
        std::set<std::wstring> seen;
        for (uint32_t i = 0; i < count && payload.Ok(); ++i) {
            contents.folders.push_back(payload.Text());
            if (!seen.insert(contents.folders.back()).second)
                return false;
        }
        break;
    }
    case kJournalReplacing: {
        if (contents.replacing)
            return false;
        const uint32_t count = payload.Count(12 + 8 + 32);
        contents.replacements.reserve(count);
        for (uint32_t i = 0; i < count && payload.Ok(); ++i) {
            contents.replacements.emplace_back();
            JournalReplacement& replacement = contents.replacements.back();
            replacement.target = payload.Text();
            replacement.copy = payload.Text();
            replacement.backup = payload.Text();
            replacement.backupSize = payload.U64();
            payload.Bytes(replacement.backupDigest.data(), replacement.backupDigest.size());
        }
        contents.replacing = true;
        break;
    }
    case kJournalMadeFolders: {
        const uint32_t count = payload.Count(4);
        for (uint32_t i = 0; i < count && payload.Ok(); ++i)
            contents.madeFolders.push_back(payload.Text());
        break;
    }
    case kJournalComplete: contents.complete = true; break;
    case kJournalRollingBack: contents.rollingBack = true; break;
    default: return false;
    }
    // A run writes nothing after what the record holds.
    return payload.Done();
}

}  // namespace

const char kJournalMagic[8] = {'U', 'P', 'D', 'J', 'N', 'L', '0', '2'};

void PutJournalU32(std::vector<unsigned char>& out, uint32_t value)
{
    out.resize(out.size() + 4);
    StoreU32(&out[out.size() - 4], value);
}

void PutJournalBackup(std::vector<unsigned char>& out, uint64_t size,
                      const std::array<unsigned char, 32>& digest)
{
    PutJournalU32(out, uint32_t(size));
    PutJournalU32(out, uint32_t(size >> 32));
    out.insert(out.end(), digest.begin(), digest.end());
}

void PutJournalText(std::vector<unsigned char>& out, const std::wstring& text)
{
    PutJournalU32(out, uint32_t(text.size()));
    for (wchar_t c : text) {
        out.push_back(static_cast<unsigned char>(c));
        out.push_back(static_cast<unsigned char>(c >> 8));
    }
}

std::vector<unsigned char> JournalRecordBytes(JournalRecord kind,
                                              const std::vector<unsigned char>& payload)
{
    std::vector<unsigned char> record;
    PutJournalU32(record, kind);
    PutJournalU32(record, uint32_t(payload.size()));
    record.insert(record.end(), payload.begin(), payload.end());
    PutJournalU32(record, uint32_t(crc32(0, record.data(), uInt(record.size()))));
    return record;
}

JournalReplacement::JournalReplacement() {}

JournalReplacement::JournalReplacement(const std::wstring& target, const std::wstring& copy,
                                       const std::wstring& backup)
    : target(target), copy(copy), backup(backup)
{
}

JournalReplacement::~JournalReplacement() {}

JournalContents::JournalContents()
    : allOrNothing(false), replacing(false), complete(false), rollingBack(false), length(0)
{
}

JournalContents::~JournalContents() {}

bool ParseJournal(const unsigned char* bytes, size_t size, const std::wstring& runPrefix,
                  JournalContents& contents)
{
    contents = JournalContents();
    if (size < sizeof kJournalMagic || std::memcmp(bytes, kJournalMagic, sizeof kJournalMagic) != 0)
        return false;
    contents.runPrefix = runPrefix;
    size_t at = sizeof kJournalMagic;
    contents.length = at;
    while (size - at >= 12) {
        const uint32_t kind = LoadU32(&bytes[at]);
        const uint32_t length = LoadU32(&bytes[at + 4]);
        if (length > size - at - 12)
            break;
        const uint32_t stored = LoadU32(&bytes[at + 8 + length]);
        if (stored != uint32_t(crc32(0, &bytes[at], uInt(8 + length))))
            break;
        PayloadReader payload(&bytes[at + 8], length);
        if (!Apply(kind, payload, contents, at == sizeof kJournalMagic))
            return false;
        at += 12 + size_t(length);
        contents.length = at;
    }
    return true;
}
