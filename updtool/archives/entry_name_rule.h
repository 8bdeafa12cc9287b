#pragma once
// Which entry names may become files below a folder. An archive may come
// from anywhere, so extract trusts no name: it must stay below the folder
// and mean to Windows what it says. pack refuses the same names, since an
// archive holding them could never be extracted.
//
// Refused: empty names and NUL bytes; bytes that are not code page 932
// text; absolute names (a leading backslash, so UNC names too) and drive
// names ("C:\x"); any other ':' (an alternate data stream, "a:b.txt");
// '/' (Windows reads it as a folder separator); control characters and
// < > " | ? *; and per backslash-separated part: empty parts, '.' and '..',
// a trailing dot or space (which Windows drops, so the file would get
// another name), and device names (paths/device_name.h).

#include <string>

// Why name (code page 932 bytes) may not become a file, or "" when it may.
std::string EntryNameRefusal(const std::string& name);
