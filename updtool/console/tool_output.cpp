#include "updtool/console/tool_output.h"

#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

void Write(DWORD which, const std::string& utf8)
{
    HANDLE handle = GetStdHandle(which);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || utf8.empty())
        return;
    if (IsConsole(handle)) {
        // UTF-16 never takes more units than UTF-8 takes bytes.
        std::wstring wide(utf8.size(), L'\0');
        const int count = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0],
                                              int(wide.size()));
        // The console of Windows 7 refuses a single write of much more than
        // 26,000 characters; pieces of 8,192 pass. A surrogate pair stays whole.
        for (size_t at = 0, end = size_t(count > 0 ? count : 0); at < end;) {
            size_t piece = std::min<size_t>(8192, end - at);
            if (at + piece < end && IS_HIGH_SURROGATE(wide[at + piece - 1]))
                --piece;
            DWORD written = 0;
            if (!WriteConsoleW(handle, wide.data() + at, DWORD(piece), &written, nullptr) || written == 0)
                return;
            at += written;
        }
        return;
    }
    const char* p = utf8.data();
    size_t left = utf8.size();
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(handle, p, DWORD(left), &written, nullptr) || written == 0)
            return;
        p += written;
        left -= written;
    }
}

bool wroteOut = false;
std::string lastErr;

}  // namespace

void WriteOut(const std::string& utf8)
{
    wroteOut = wroteOut || !utf8.empty();
    Write(STD_OUTPUT_HANDLE, utf8);
}

void WriteErr(const std::string& utf8)
{
    if (!utf8.empty())
        lastErr = utf8.back() == '\n' ? utf8.substr(0, utf8.size() - 1) : utf8;
    Write(STD_ERROR_HANDLE, utf8);
}

bool WroteOut()
{
    return wroteOut;
}

const std::string& LastErr()
{
    return lastErr;
}

void JsonWriter::BeforeValue()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back())
            out_ += ',';
        first_.back() = false;
    }
}

void JsonWriter::Value(const std::string& json)
{
    BeforeValue();
    out_ += json;
}

void JsonWriter::Open(char bracket)
{
    Value(std::string(1, bracket));
    first_.push_back(true);
}

void JsonWriter::Close(char bracket)
{
    out_ += bracket;
    first_.pop_back();
}

void JsonWriter::Key(const char* name)
{
    BeforeValue();
    Quote(name);
    out_ += ':';
    afterKey_ = true;
}

void JsonWriter::Text(const std::string& utf8)
{
    BeforeValue();
    Quote(utf8);
}

void JsonWriter::Quote(const std::string& utf8)
{
    static const char escaped[] = "\"\\\n\r\t", letters[] = "\"\\nrt";
    static const char hex[] = "0123456789abcdef";
    out_ += '"';
    for (const char c : utf8) {
        const char* named = c != '\0' ? std::strchr(escaped, c) : nullptr;
        if (named != nullptr) {
            out_ += '\\';
            out_ += letters[named - escaped];
        } else if (static_cast<unsigned char>(c) < 0x20) {
            out_ += "\\u00";
            out_ += hex[c >> 4];
            out_ += hex[c & 15];
        } else {
            out_ += c;
        }
    }
    out_ += '"';
}

std::string JsonWriter::Take()
{
    std::string piece;
    piece.swap(out_);
    return piece;
}

Progress::Progress(const char* label, bool quiet)
    : label_(label), show_(!quiet && IsConsole(GetStdHandle(STD_ERROR_HANDLE))) {}

Progress::~Progress()
{
    Done();
}

void Progress::Update(uint32_t done, uint32_t total, uint64_t bytes)
{
    if (!show_)
        return;
    const uint32_t now = GetTickCount();
    if (shown_ && done != total && now - lastTick_ < 200)
        return;
    lastTick_ = now;
    shown_ = true;
    char line[128];
    snprintf(line, sizeof line, "\r%s: %u of %u files, %.1f MiB ", label_, done, total,
             double(bytes) / (1024.0 * 1024.0));
    WriteErr(line);
}

void Progress::Done()
{
    if (shown_)
        WriteErr("\n");
    shown_ = false;
}
