#pragma once
// The tool's three kinds of text, kept apart by type:
//   std::wstring   arguments and paths, as the system gives and takes them;
//   std::string    with "932" in the name: the product's texts (update.ini,
//                  item and entry names), code page 932 bytes on every system;
//   std::string    otherwise: UTF-8, what the tool prints.
// Every conversion names its code page: nothing depends on the code page of
// the system the tool runs on.

#include <cstdint>
#include <string>

std::string Utf8(const std::wstring& text);
// Code page 932 bytes as UTF-8, each byte that is no character shown as <XX>.
std::string Utf8From932(const char* text, uint32_t length);
std::string Utf8From932(const std::string& text);

// The exact UTF-16 form of code page 932 bytes; false when they are not
// valid code page 932 text.
bool WideFrom932Exactly(const char* text, uint32_t length, std::wstring& wide);
// The exact code page 932 bytes of text; false when a character has none (a
// best-fit stand-in would name another file).
bool ExactlyTo932(const std::wstring& text, std::string& out);

// A name for a human reader: as Utf8From932, and control characters shown
// as <CR>, <LF>, <TAB> or <XX>, so that no name can pass for another row.
std::string ShownName(const char* name, uint32_t length);
std::string ShownName(const std::string& name);

// A stored name's length as the updater reads it: up to a NUL byte.
uint32_t NameTextLength(const char* name, uint32_t length);
