#pragma once
// Texts for people to read, in UTF-8: the run's record, the publisher's
// tool, the words both give a decision. Three kinds of text are kept apart
// by type:
//   std::wstring   paths and system texts, as the system gives and takes them;
//   std::string    with "932" in the name: the product's texts (update.ini,
//                  item and entry names), code page 932 bytes on every system;
//   std::string    otherwise: UTF-8.
// Every conversion names its code page: nothing depends on the code page of
// the system the programs run on.

#include <cstdint>
#include <string>
#include "base/string.h"

std::string Utf8(const std::wstring& text);
// Code page 932 bytes as UTF-8, each byte that is no character shown as <XX>.
std::string Utf8From932(const std::string& text);

// A name for a human reader: as Utf8From932, and control characters shown
// as <CR>, <LF>, <TAB> or <XX>, so that no name can pass for another row.
std::string ShownName(const std::string& name);

// ShownName in double quotes, so a value's edges and breaks can be seen.
std::string Quoted(const std::string& text932);
std::string Quoted(const String& text932);

// n and its noun: "1 item", "2 items".
std::string Plural(uint64_t n, const char* one, const char* many);
