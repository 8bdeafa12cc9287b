#pragma once
// The product's texts in the tool's human reports: quoted so that spaces
// and control characters show.

#include <cstdint>
#include <string>
#include "base/string.h"

// Code page 932 text as UTF-8 in double quotes, shown as ShownName shows
// it: a line feed as <LF>, a carriage return as <CR>, a tab as <TAB>, so a
// value's edges and breaks can be seen.
std::string Quoted(const std::string& text932);
std::string Quoted(const String& text932);

// n and its noun: "1 item", "2 items".
std::string Plural(uint64_t n, const char* one, const char* many);
