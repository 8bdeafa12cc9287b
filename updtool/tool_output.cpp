#include "updtool/tool_output.h"

#include <windows.h>
#include <cstdio>

namespace {

std::wstring Wide(const char* text, int length, UINT codePage)
{
    if (length == 0)
        return std::wstring();
    const int count = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
    if (count <= 0)
        return std::wstring();
    std::wstring wide(size_t(count), L'\0');
    MultiByteToWideChar(codePage, 0, text, length, &wide[0], count);
    return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage)
{
    if (wide.empty())
        return std::string();
    const int count = WideCharToMultiByte(codePage, 0, wide.data(), int(wide.size()), nullptr, 0,
                                          nullptr, nullptr);
    if (count <= 0)
        return std::string();
    std::string narrow(size_t(count), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), int(wide.size()), &narrow[0], count, nullptr,
                        nullptr);
    return narrow;
}

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
        const std::wstring wide = Wide(utf8.data(), int(utf8.size()), CP_UTF8);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), DWORD(wide.size()), &written, nullptr);
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

}  // namespace

std::string Utf8FromAnsi(const char* text, int length)
{
    if (!text)
        return std::string();
    if (length < 0)
        length = lstrlenA(text);
    return Narrow(Wide(text, length, CP_ACP), CP_UTF8);
}

std::string Utf8FromAnsi(const std::string& text)
{
    return Utf8FromAnsi(text.data(), int(text.size()));
}

void WriteOut(const std::string& utf8)
{
    Write(STD_OUTPUT_HANDLE, utf8);
}

void WriteErr(const std::string& utf8)
{
    Write(STD_ERROR_HANDLE, utf8);
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

void JsonWriter::String(const std::string& utf8)
{
    BeforeValue();
    Quote(utf8);
}

void JsonWriter::Quote(const std::string& utf8)
{
    out_ += '"';
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out_ += "\\\""; break;
        case '\\': out_ += "\\\\"; break;
        case '\n': out_ += "\\n"; break;
        case '\r': out_ += "\\r"; break;
        case '\t': out_ += "\\t"; break;
        default:
            if (c < 0x20) {
                char escape[8];
                snprintf(escape, sizeof escape, "\\u%04x", c);
                out_ += escape;
            } else {
                out_ += char(c);
            }
        }
    }
    out_ += '"';
}

void JsonWriter::Number(int64_t value)
{
    BeforeValue();
    out_ += std::to_string(value);
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

std::string JsonWriter::Text() const
{
    return out_ + "\n";
}
