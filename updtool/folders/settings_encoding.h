#pragma once
// Whether update.ini was saved as UTF-8, the usual default of editors: the
// updater reads it as code page 932, so every non-ASCII text is read as
// other characters and items with such names are never found.
//
// Taken for UTF-8: a file that begins with a UTF-8 byte-order mark, or one
// whose non-ASCII bytes are valid UTF-8 and not plausible code page 932:
// not valid code page 932 text at all, or holding a UTF-8 sequence of three
// or four bytes (every kana and kanji, most symbols), which code page 932
// text forms only by rare accident. Text whose only non-ASCII characters are
// two-byte sequences that also read as code page 932 (é reads as ﾃｩ) cannot
// be told apart and passes.

#include <string>

// "" when bytes read as code page 932; else why they are taken for UTF-8.
std::string Utf8Evidence(const std::string& bytes);
