#include "update/update_journal.h"

#include <windows.h>
#include <zlib.h>
#include <cstring>
#include "paths/wide_paths.h"

namespace {

const char kMagic[8] = {'U', 'P', 'D', 'J', 'N', 'L', '0', '1'};
const size_t kRunDigits = 16;
// No journal of ours is larger; a bigger file is not read.
const uint64_t kMaxJournal = 64u << 20;

bool IsHex(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F');
}

// upd<16 hex digits>.jnl
bool IsJournalName(const std::wstring& name)
{
    if (name.size() != 3 + kRunDigits + 4 || name.compare(0, 3, L"upd") != 0 ||
        name.compare(3 + kRunDigits, 4, L".jnl") != 0)
        return false;
    for (size_t i = 3; i < 3 + kRunDigits; ++i)
        if (!IsHex(name[i]))
            return false;
    return true;
}

std::wstring NameOf(const std::wstring& path)
{
    return path.substr(path.rfind(L'\\') + 1);
}

// A number no earlier run in this folder is likely to have had.
std::wstring NewRun()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    uint64_t x = uint64_t(counter.QuadPart) ^ (uint64_t(now.dwHighDateTime) << 32 | now.dwLowDateTime) ^
                 (uint64_t(GetCurrentProcessId()) << 40);
    // splitmix64's finaliser spreads the bits over all the digits.
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    std::wstring digits;
    for (int shift = 60; shift >= 0; shift -= 4)
        digits += L"0123456789ABCDEF"[(x >> shift) & 0xF];
    return digits;
}

void PutU32(std::vector<unsigned char>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

void PutText(std::vector<unsigned char>& out, const std::wstring& text)
{
    PutU32(out, uint32_t(text.size()));
    for (wchar_t c : text) {
        out.push_back(static_cast<unsigned char>(c));
        out.push_back(static_cast<unsigned char>(c >> 8));
    }
}

uint32_t LoadU32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Reads one record's payload; every length checked against what is left.
class PayloadReader {
public:
    PayloadReader(const unsigned char* data, size_t size) : data_(data), left_(size), ok_(true) {}
    virtual ~PayloadReader() {}

    bool Ok() const { return ok_; }

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

bool ReadAll(const std::wstring& path, std::vector<unsigned char>& bytes)
{
    const Handle file(CreateFileW(LongPathForm(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.Valid() || !GetFileSizeEx(file.Get(), &size) || uint64_t(size.QuadPart) > kMaxJournal)
        return false;
    bytes.resize(size_t(size.QuadPart));
    DWORD got = 0;
    return bytes.empty() ||
           (ReadFile(file.Get(), bytes.data(), DWORD(bytes.size()), &got, nullptr) &&
            got == bytes.size());
}

bool Apply(uint32_t kind, PayloadReader& payload, JournalContents& contents)
{
    switch (kind) {
    case kJournalFolders: {
        contents.allOrNothing = payload.U32() != 0;
        const uint32_t count = payload.Count(4);
        for (uint32_t i = 0; i < count && payload.Ok(); ++i)
            contents.folders.push_back(payload.Text());
        break;
    }
    case kJournalReplacing: {
        const uint32_t count = payload.Count(12);
        for (uint32_t i = 0; i < count && payload.Ok(); ++i) {
            JournalReplacement replacement;
            replacement.target = payload.Text();
            replacement.copy = payload.Text();
            replacement.backup = payload.Text();
            contents.replacements.push_back(replacement);
        }
        contents.replacing = true;
        break;
    }
    case kJournalComplete: contents.complete = true; break;
    case kJournalRollingBack: contents.rollingBack = true; break;
    default: return false;
    }
    return payload.Ok();
}

}  // namespace

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

UpdateJournal::UpdateJournal() {}

UpdateJournal::~UpdateJournal() {}

bool UpdateJournal::Create(const std::wstring& installFolder, bool allOrNothing,
                           const std::vector<std::wstring>& folders)
{
    const std::wstring run = NewRun();
    path_ = installFolder + L"\\upd" + run + L".jnl";
    file_.Reset(CreateFileW(LongPathForm(path_).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_.Valid())
        return false;
    contents_ = JournalContents();
    contents_.runPrefix = L"upd" + run + L"-";
    contents_.allOrNothing = allOrNothing;
    contents_.folders = folders;
    DWORD written = 0;
    std::vector<unsigned char> payload;
    PutU32(payload, allOrNothing ? 1 : 0);
    PutU32(payload, uint32_t(folders.size()));
    for (const std::wstring& folder : folders)
        PutText(payload, folder);
    if (!WriteFile(file_.Get(), kMagic, sizeof kMagic, &written, nullptr) ||
        written != sizeof kMagic || !Append(kJournalFolders, payload)) {
        Remove();
        return false;
    }
    return true;
}

bool UpdateJournal::Resume(const std::wstring& path, const JournalContents& contents)
{
    file_.Reset(CreateFileW(LongPathForm(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    LARGE_INTEGER end;
    end.QuadPart = LONGLONG(contents.length);
    if (!file_.Valid())
        return false;
    if (!GetFileInformationByHandle(file_.Get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !SetFilePointerEx(file_.Get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file_.Get())) {
        const DWORD error = GetLastError();
        file_.Reset();
        SetLastError(error ? error : ERROR_ACCESS_DENIED);
        return false;
    }
    path_ = path;
    contents_ = contents;
    return true;
}

bool UpdateJournal::WriteReplacing(const std::vector<JournalReplacement>& replacements)
{
    std::vector<unsigned char> payload;
    PutU32(payload, uint32_t(replacements.size()));
    for (const JournalReplacement& replacement : replacements) {
        PutText(payload, replacement.target);
        PutText(payload, replacement.copy);
        PutText(payload, replacement.backup);
    }
    contents_.replacements = replacements;
    contents_.replacing = true;
    return Append(kJournalReplacing, payload);
}

bool UpdateJournal::WriteMark(JournalRecord kind)
{
    if (kind == kJournalComplete)
        contents_.complete = true;
    if (kind == kJournalRollingBack)
        contents_.rollingBack = true;
    return Append(kind, std::vector<unsigned char>());
}

bool UpdateJournal::Append(JournalRecord kind, const std::vector<unsigned char>& payload)
{
    if (!file_.Valid()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::vector<unsigned char> record;
    PutU32(record, kind);
    PutU32(record, uint32_t(payload.size()));
    record.insert(record.end(), payload.begin(), payload.end());
    PutU32(record, uint32_t(crc32(0, record.data(), uInt(record.size()))));
    DWORD written = 0;
    if (!WriteFile(file_.Get(), record.data(), DWORD(record.size()), &written, nullptr) ||
        written != record.size())
        return false;
    return FlushFileBuffers(file_.Get()) != 0;
}

void UpdateJournal::Remove()
{
    file_.Reset();
    if (!path_.empty())
        DeleteFileW(LongPathForm(path_).c_str());
    path_.clear();
}

bool ReadJournal(const std::wstring& path, JournalContents& contents)
{
    const std::wstring name = NameOf(path);
    std::vector<unsigned char> bytes;
    if (!IsJournalName(name) || !ReadAll(path, bytes) || bytes.size() < sizeof kMagic ||
        std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return false;
    contents = JournalContents();
    contents.runPrefix = name.substr(0, 3 + kRunDigits) + L"-";
    size_t at = sizeof kMagic;
    bool first = true;
    while (bytes.size() - at >= 12) {
        const uint32_t kind = LoadU32(&bytes[at]);
        const uint32_t length = LoadU32(&bytes[at + 4]);
        if (length > bytes.size() - at - 12)
            break;
        const uint32_t stored = LoadU32(&bytes[at + 8 + length]);
        if (stored != uint32_t(crc32(0, &bytes[at], uInt(8 + length))))
            break;
        PayloadReader payload(&bytes[at + 8], length);
        // The folders come first; a journal cut before them holds nothing
        // else, as its run made no file before writing them.
        if ((first && kind != kJournalFolders) || !Apply(kind, payload, contents))
            break;
        first = false;
        at += 12 + size_t(length);
        contents.length = at;
    }
    return true;
}

std::vector<std::wstring> JournalsIn(const std::wstring& folder)
{
    std::vector<std::wstring> journals;
    WIN32_FIND_DATAW found;
    const FindOwner find(FindFirstFileW(LongPathForm(folder + L"\\upd*.jnl").c_str(), &found));
    if (!find.Valid())
        return journals;
    do {
        if (!(found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
            IsJournalName(found.cFileName))
            journals.push_back(folder + L"\\" + found.cFileName);
    } while (FindNextFileW(find.Get(), &found));
    return journals;
}

std::wstring RunFolderName(const std::wstring& runPrefix)
{
    return runPrefix.substr(0, runPrefix.size() - 1) + L".d";
}
