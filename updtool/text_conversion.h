#pragma once
// The tool's text forms. Entry names are bytes of code page 932, the ANSI
// code page of the systems the updater runs on, whatever the publisher's
// own system uses; files are reached by UTF-16 paths; output is UTF-8.
// Command-line arguments arrive in this system's ANSI code page.

#include <cstdint>
#include <string>

const unsigned kNameCodePage = 932;

// A name's exact UTF-16 form; false when the bytes are not valid code
// page 932 text.
bool NameToWide(const char* name, uint32_t length, std::wstring& wide);
// The name's bytes for wide; false when a character has no exact code page
// 932 form (no best-fit stand-in is ever taken).
bool NameFromWide(const std::wstring& wide, std::string& name);
// Appends the name as UTF-8; bytes that are not valid text show as the
// converter's stand-in character. ASCII is copied as it is.
void AppendNameUtf8(std::string& out, const char* name, uint32_t length);
std::string NameUtf8(const std::string& name);

// A stored name's length as the updater reads it: up to a NUL byte.
uint32_t NameTextLength(const char* name, uint32_t length);
// True when every byte is below 0x80.
bool IsAscii(const char* text, uint32_t length);

std::wstring WideFromAnsi(const std::string& text);
// length bytes of text in codePage (CP_UTF8 included) as UTF-16; empty when
// they do not convert.
std::wstring WideFromCodePage(unsigned codePage, const char* text, int length);
std::string Utf8FromWide(const std::wstring& wide);
