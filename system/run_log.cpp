#include "system/run_log.h"

#include "base/shown_text.h"

#include <cstdio>
#include <vector>
#include "base/owned.h"
#include "base/text_932.h"
#include "system/native_file.h"

namespace {

const char kLeftOut[] = "the rest of this run's record was left out: it reached its limit of 16 MiB";

class RunLog {
public:
    Handle file;
    std::wstring path;
    uint64_t written;
    bool full;
    LONG biasMinutes;  // UTC = local + bias, as the system counts it

    RunLog() : written(0), full(false), biasMinutes(0) {}
    virtual ~RunLog() {}
};

// Logging happens on the way to reporting a failure: it keeps the thread's
// last error for the report.
class KeepLastError {
public:
    KeepLastError() : error_(GetLastError()) {}
    virtual ~KeepLastError() { SetLastError(error_); }

private:
    DWORD error_;
};

RunLog& TheLog()
{
    static RunLog log;
    return log;
}

bool WriteAll(const std::string& bytes)
{
    RunLog& log = TheLog();
    DWORD done = 0;
    if (!WriteFile(log.file.Get(), bytes.data(), DWORD(bytes.size()), &done, nullptr) ||
        done != bytes.size())
        return false;
    log.written += done;
    return true;
}

// The local time of now and the offset it was taken with, as
// "2026-12-07 21:15:03.123 +09:00".
std::string Stamp(LONG biasMinutes)
{
    FILETIME utc;
    GetSystemTimeAsFileTime(&utc);
    ULARGE_INTEGER ticks;
    ticks.LowPart = utc.dwLowDateTime;
    ticks.HighPart = utc.dwHighDateTime;
    ticks.QuadPart -= int64_t(biasMinutes) * 60 * 10000000;
    FILETIME local = {ticks.LowPart, ticks.HighPart};
    SYSTEMTIME time;
    FileTimeToSystemTime(&local, &time);
    const LONG offset = -biasMinutes;
    const LONG magnitude = offset < 0 ? -offset : offset;
    char text[48];
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u %c%02ld:%02ld", time.wYear,
             time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond, time.wMilliseconds,
             offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return text;
}

LONG CurrentBias()
{
    TIME_ZONE_INFORMATION zone;
    const DWORD kind = GetTimeZoneInformation(&zone);
    if (kind == TIME_ZONE_ID_INVALID)
        return 0;
    LONG bias = zone.Bias;
    if (kind == TIME_ZONE_ID_DAYLIGHT)
        bias += zone.DaylightBias;
    else if (kind == TIME_ZONE_ID_STANDARD)
        bias += zone.StandardBias;
    return bias;
}

// The length of the UTF-8 sequence at text[at] and its code point; 0 when
// the bytes there are no valid sequence.
size_t Utf8Sequence(const std::string& text, size_t at, uint32_t& code)
{
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                          : lead >= 0xF0 && lead < 0xF5                  ? 4
                                                                         : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    code = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (size_t i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (next & 0x3F);
    }
    // Overlong forms, surrogates and what lies beyond Unicode are no text.
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || (code >= 0xD800 && code < 0xE000) || code > 0x10FFFF)
        return 0;
    return length;
}

// Whether a character could end a line, or make one read as another: the
// controls of C0 and C1, the line and paragraph separators, the marks that
// turn the direction of text, and the byte-order mark.
bool Misleads(uint32_t code)
{
    return code < 0x20 || (code >= 0x7F && code < 0xA0) || code == 0x2028 || code == 0x2029 ||
           code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069) || code == 0xFEFF;
}

// A line's text as the record holds it: every character that could end or
// fake a line, and every byte that is no UTF-8, shown by its value.
std::string Escaped(const std::string& text)
{
    std::string shown;
    shown.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        uint32_t code = 0;
        const size_t length = Utf8Sequence(text, at, code);
        char escape[16];
        if (length == 0) {
            snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(text[at]));
            shown += escape;
            ++at;
            continue;
        }
        if (!Misleads(code))
            shown.append(text, at, length);
        else if (code == '\n' || code == '\r' || code == '\t')
            shown += code == '\n' ? "\\n" : code == '\r' ? "\\r" : "\\t";
        else {
            snprintf(escape, sizeof escape, code < 0x80 ? "\\x%02X" : "\\u%04X", unsigned(code));
            shown += escape;
        }
        at += length;
    }
    return shown;
}

// A value of at most kLoggedValueLimit bytes, cut at a character, the rest
// counted: no input can fill the record with one value.
std::string Capped(const std::string& utf8)
{
    if (utf8.size() <= kLoggedValueLimit)
        return utf8;
    size_t cut = kLoggedValueLimit;
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80)
        --cut;
    std::string count = std::to_string(utf8.size());
    for (size_t digits = count.size(); digits > 3; digits -= 3)
        count.insert(digits - 3, ",");
    return utf8.substr(0, cut) + "\xE2\x80\xA6 " + count + " bytes";
}

}  // namespace

bool StartRunLog(const std::wstring& path)
{
    EndRunLog();
    RunLog& log = TheLog();
    if (!OpenFile(FileOpen::CreateNew, FilePlace(path), log.file))
        return false;
    log.path = path;
    log.written = 0;
    log.full = false;
    log.biasMinutes = CurrentBias();
    if (!WriteAll("\xEF\xBB\xBF")) {
        EndRunLog();
        return false;
    }
    return true;
}

std::wstring RunLogName(const SYSTEMTIME& localDate, unsigned number)
{
    wchar_t name[64];
    swprintf(name, 64, L"updater %04u-%02u-%02u #%03u.log", localDate.wYear, localDate.wMonth,
             localDate.wDay, number);
    return name;
}

namespace {

const unsigned kRunLogNumbers = 999;

// The day's names in folder, in the order they are taken.
std::vector<std::wstring> RunLogCandidates(const std::wstring& folder)
{
    SYSTEMTIME today;
    GetLocalTime(&today);
    std::wstring base = folder;
    if (!base.empty() && base.back() != L'\\')
        base += L'\\';
    std::vector<std::wstring> paths;
    for (unsigned number = 1; number <= kRunLogNumbers; ++number)
        paths.push_back(base + RunLogName(today, number));
    return paths;
}

}  // namespace

bool StartRunLogIn(const std::wstring& folder)
{
    for (const std::wstring& path : RunLogCandidates(folder)) {
        if (StartRunLog(path))
            return true;
        const DWORD error = GetLastError();
        // Taken: try the next number. Anything else would fail for every
        // name alike.
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
            error != ERROR_ACCESS_DENIED)
            return false;
    }
    return false;
}

std::wstring RunLogFolder()
{
    wchar_t folder[MAX_PATH + 2];
    const DWORD got = GetTempPathW(MAX_PATH + 2, folder);
    return got == 0 || got > MAX_PATH + 1 ? std::wstring() : std::wstring(folder, got);
}

std::wstring NextRunLogPath(const std::wstring& folder)
{
    for (const std::wstring& path : RunLogCandidates(folder)) {
        // Finding a name does not follow it.
        WIN32_FIND_DATAW found;
        const HANDLE find = FindFirstFileW(path.c_str(), &found);
        if (find == INVALID_HANDLE_VALUE)
            return path;
        FindClose(find);
    }
    return std::wstring();
}

const std::wstring& RunLogPath()
{
    return TheLog().path;
}

void EndRunLog()
{
    RunLog& log = TheLog();
    log.file.Reset();
    log.path.clear();
}

void LogEvent(const std::string& text)
{
    RunLog& log = TheLog();
    if (!log.file.Valid() || log.full)
        return;
    const KeepLastError keep;
    const std::string stamp = Stamp(log.biasMinutes);
    std::string line = stamp + "  " + Escaped(text) + "\r\n";
    const size_t roomForLast = stamp.size() + sizeof kLeftOut + 4;
    if (log.written + line.size() + roomForLast > kRunLogLimit) {
        log.full = true;
        line = stamp + "  " + kLeftOut + "\r\n";
    }
    if (!WriteAll(line))
        log.full = true;  // a full disk: the run goes on without its record
}

std::string LogText(const std::wstring& text)
{
    return Capped(Utf8(text));
}

std::string LogText932(const char* text)
{
    return LogText(WideFrom932(text ? text : ""));
}

std::string LogError(DWORD code)
{
    const KeepLastError keep;
    char number[40];
    snprintf(number, sizeof number, "error %lu (0x%lx)", static_cast<unsigned long>(code),
             static_cast<unsigned long>(code));
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::wstring text(message ? message : L"", length);
    if (message)
        LocalFree(message);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text.empty() ? std::string(number) : number + (": " + LogText(text));
}

void LogFailure(const char* operation, const std::wstring& path, DWORD code)
{
    LogEvent(std::string(operation) + " failed on " + LogText(path) + ": " + LogError(code));
}
