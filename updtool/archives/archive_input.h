#pragma once
// The files a command reads, named on its command line. Each must be an
// ordinary file that exists: never a folder, a device (CON, NUL.txt ...) or
// a pipe, and a missing name is never looked up in the archives of the
// current folder, as ArchiveFile would for the updater.

#include <string>
#include <vector>
#include "base/owned.h"
#include "pak/archive_check.h"
#include "pak/archive_file.h"

// Why path cannot be read as a file, in words ("'x' is a folder"), or "".
std::string OrdinaryFileProblem(const std::wstring& path);

// Opens path (already a PathArgument) for reading on archive, and on data
// (the entries' data read apart from the index). Prints the one-line
// message and returns ExitTrouble when it cannot; ExitOk when open.
int OpenArchiveArgument(const char* command, const std::wstring& path, ArchiveFile& archive,
                        ArchiveFile* data);

// Reports a missing or surplus archive argument as a usage error; returns
// ExitOk when exactly one was given (or more when allowMore).
int CheckArchiveArguments(const char* command, const std::vector<std::wstring>& positional,
                          bool allowMore);

// Opens path twice (index and data) and checks the archive to the full
// depth, names judged as extract judges them. ExitOk when it could be read
// (report filled), else the open's exit code after its message.
int CheckArchiveArgument(const char* command, const std::wstring& path, ArchiveReport& report);

// A full path in the \\?\ form, which Windows takes as it is: "con.txt" is
// not taken for a device, a trailing dot or space is kept.
std::wstring VerbatimPath(const std::wstring& path);

// A file a folder walk listed (a full path), opened for reading on file by
// its name as listed (FileOpen::ReadBesideWriters): "con.txt" is not taken
// for a device, a trailing dot or space is kept, and a file gone since is
// never looked up in the archives of the current folder. Throws ToolError
// "cannot read <what>: <why>" when it cannot.
void OpenListedFile(Handle& file, const std::wstring& path, const std::string& what);

// Up to n bytes from file's position, fewer only at its end; throws
// ToolError as OpenListedFile when the system fails a read.
uint32_t ReadListedFile(HANDLE file, void* buffer, uint32_t n, const std::string& what);

// A problem's message with the other entry it names, in UTF-8.
std::string ProblemMessage(const ArchiveProblem& problem);
