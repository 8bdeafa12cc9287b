#include "updtool/tool_output.h"

#include <windows.h>
#include <cstdio>
#include <cstring>
#include "updtool/text_conversion.h"

namespace {

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

// Asking is a round trip to the system; a listing writes many pieces.
bool IsConsoleCached(HANDLE handle)
{
    static HANDLE asked = INVALID_HANDLE_VALUE;
    static bool console = false;
    if (handle != asked) {
        console = IsConsole(handle);
        asked = handle;
    }
    return console;
}

void Write(DWORD which, const char* utf8, size_t length)
{
    HANDLE handle = GetStdHandle(which);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || length == 0)
        return;
    if (IsConsoleCached(handle)) {
        const std::wstring wide = WideFromCodePage(CP_UTF8, utf8, int(length));
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), DWORD(wide.size()), &written, nullptr);
        return;
    }
    const char* p = utf8;
    size_t left = length;
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(handle, p, DWORD(left), &written, nullptr) || written == 0)
            return;
        p += written;
        left -= written;
    }
}

}  // namespace

std::string Utf8FromAnsi(const char* text, int length)
{
    if (!text)
        return std::string();
    if (length < 0)
        length = lstrlenA(text);
    return Utf8FromWide(WideFromCodePage(CP_ACP, text, length));
}

std::string Utf8FromAnsi(const std::string& text)
{
    return Utf8FromAnsi(text.data(), int(text.size()));
}

void WriteOut(const std::string& utf8)
{
    Write(STD_OUTPUT_HANDLE, utf8.data(), utf8.size());
}

void WriteOut(const char* utf8, size_t length)
{
    Write(STD_OUTPUT_HANDLE, utf8, length);
}

void WriteErr(const std::string& utf8)
{
    Write(STD_ERROR_HANDLE, utf8.data(), utf8.size());
}

bool ErrIsConsole()
{
    return IsConsole(GetStdHandle(STD_ERROR_HANDLE));
}

JsonWriter::JsonWriter() : afterKey_(false) {}

JsonWriter::~JsonWriter() {}

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

void JsonWriter::BeginObject()
{
    BeforeValue();
    out_ += '{';
    first_.push_back(true);
}

void JsonWriter::EndObject()
{
    out_ += '}';
    first_.pop_back();
}

void JsonWriter::BeginArray()
{
    BeforeValue();
    out_ += '[';
    first_.push_back(true);
}

void JsonWriter::EndArray()
{
    out_ += ']';
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
    const size_t at = out_.size();
    out_.resize(at + JsonStringRoom(utf8.size()));
    char* end = PutJsonString(&out_[at], utf8.data(), utf8.size());
    out_.resize(size_t(end - out_.data()));
}

void JsonWriter::Number(int64_t value)
{
    BeforeValue();
    out_ += std::to_string(value);
}

char* PutJsonString(char* out, const char* utf8, size_t length)
{
    static const char hex[] = "0123456789abcdef";
    *out++ = '"';
    for (size_t i = 0; i < length; ++i) {
        // Four plain bytes (no control character, quote or backslash) at a
        // time: listings escape many thousands of names.
        while (i + 4 <= length) {
            uint32_t word;
            std::memcpy(&word, utf8 + i, 4);
            const uint32_t quote = word ^ 0x22222222u, backslash = word ^ 0x5C5C5C5Cu;
            const uint32_t control = (word - 0x20202020u) & ~word;
            const uint32_t quotes = (quote - 0x01010101u) & ~quote;
            const uint32_t backslashes = (backslash - 0x01010101u) & ~backslash;
            if ((control | quotes | backslashes) & 0x80808080u)
                break;
            std::memcpy(out, &word, 4);
            out += 4;
            i += 4;
        }
        if (i == length)
            break;
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c != '"' && c != '\\') {
            *out++ = char(c);
            continue;
        }
        *out++ = '\\';
        switch (c) {
        case '"': *out++ = '"'; break;
        case '\\': *out++ = '\\'; break;
        case '\n': *out++ = 'n'; break;
        case '\r': *out++ = 'r'; break;
        case '\t': *out++ = 't'; break;
        default:
            out[0] = 'u';
            out[1] = '0';
            out[2] = '0';
            out[3] = hex[c >> 4];
            out[4] = hex[c & 15];
            out += 5;
        }
    }
    *out++ = '"';
    return out;
}

void JsonWriter::Bool(bool value)
{
    BeforeValue();
    out_ += value ? "true" : "false";
}

void JsonWriter::Null()
{
    BeforeValue();
    out_ += "null";
}

std::string JsonWriter::Document() const
{
    return out_ + "\n";
}
