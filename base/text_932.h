#pragma once
// The product's texts (its messages, update.ini, archive entry names) are
// code page 932 bytes, whatever the code page of the system it runs on. They
// reach the system's -W calls converted with code page 932 itself, exactly as
// the -A calls convert them on a Japanese system, so every system shows and
// finds the same as a Japanese one.

#include <cstdint>
#include <string>
#include "base/string.h"

const unsigned kProductCodePage = 932;

// text (length bytes; -1: up to its NUL) as UTF-16. Bytes that are not valid
// code page 932 become what the system's conversion makes of them.
std::wstring WideFrom932(const char* text, int32_t length = -1);
std::wstring WideFrom932(const String& text);

// text's exact code page 932 bytes into out; false (out untouched) when a
// character has no exact form there: no best-fit stand-in is ever taken, so
// a path never turns into another one.
bool ExactlyTo932(const std::wstring& text, String& out);

// The same for a std::string; false also when text holds a NUL (the
// converted text would end there).
bool ExactlyTo932(const std::wstring& text, std::string& out);

// The exact UTF-16 form of length bytes of code page 932 into wide; false
// when they are not valid code page 932 text (no stand-in is ever taken).
bool WideFrom932Exactly(const char* text, size_t length, std::wstring& wide);

// text as the -A calls of a Japanese system give it back: characters without
// a form of their own are best-fitted or replaced. For texts that are only
// shown or compared, never for paths.
void ShownIn932(const std::wstring& text, String& out);

// A sentence of the product's with one "%s", the argument put in its place,
// as UTF-16: how a message names a path that may hold any character.
std::wstring WideSentence(const char* sentence, const std::wstring& argument);
