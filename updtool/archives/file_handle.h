#pragma once
// Reads and writes on an open file that, when they fail, throw ToolError
// naming `what` and the system's reason.

#include <windows.h>
#include <cstdint>
#include <string>

// Up to n bytes; fewer only at the end of the file.
uint32_t ReadFully(HANDLE file, void* buffer, uint32_t n, const std::string& what);
void WriteFully(HANDLE file, const void* data, uint32_t n, const std::string& what);
void SeekTo(HANDLE file, uint64_t offset, const std::string& what);
