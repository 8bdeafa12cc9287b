#pragma once
// The names Windows takes for a device in whatever folder they stand: CON,
// PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9 and LPT0-9 (also COM and LPT with a
// superscript 1, 2 or 3), in any case, with or without an extension, trailing
// dots and spaces ignored ("nul .txt" and "COM1." are devices too). A file of
// such a name can be neither made nor read: the open reaches the device.
//
// part is one part of a path, without separators. Code page 932 bytes or
// UTF-16, as each caller holds it; code page 932 has no superscript digits,
// so only the UTF-16 form can name those.

#include <cstddef>
#include <string>

bool NamesDevice(const char* part, size_t length);
bool NamesDevice(const std::wstring& part);
