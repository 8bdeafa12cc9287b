#pragma once
// The tool's three kinds of text, kept apart by type:
//   std::wstring   arguments and paths, as the system gives and takes them;
//   std::string    with "932" in the name: the product's texts (update.ini,
//                  item and entry names), code page 932 bytes on every system;
//   std::string    otherwise: UTF-8, what the tool prints.
// Every conversion names its code page: nothing depends on the code page of
// the system the tool runs on. Code page 932 itself converts in
// base/text_932.h; here are the tool's UTF-8 forms.

#include <string>
#include "base/text_932.h"

std::string Utf8(const std::wstring& text);
// Code page 932 bytes as UTF-8, each byte that is no character shown as <XX>.
std::string Utf8From932(const std::string& text);

// A name for a human reader: as Utf8From932, and control characters shown
// as <CR>, <LF>, <TAB> or <XX>, so that no name can pass for another row.
std::string ShownName(const std::string& name);
