#pragma once
// The updater's own key in the registry, HKLM\SOFTWARE\QuillmarkUpdater in
// the 32-bit view (below WOW6432Node on 64-bit Windows). Below
// HKLM\SOFTWARE users may read but not create or change keys, as Windows
// sets it up, so what the updater keeps there vouches for itself, where
// nothing in a folder users may write can. It keeps entries per install
// folder, named from the folder's final path (every link resolved), in
// lists:
//   Journals   the journal of a run there that has not finished
//   Products   the product whose signed update the folder received
// Every entry holds the folder's path as its value "Folder": an entry is
// only ever taken for the folder it names.

#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>
#include "base/owned.h"
#include "system/registry_key.h"

extern const wchar_t kUpdaterKey[];       // L"SOFTWARE\\QuillmarkUpdater"
extern const wchar_t kJournalsList[];     // L"Journals"
extern const wchar_t kProductsList[];     // L"Products"

// One entry of a list, for one folder.
class UpdaterEntry {
public:
    Owned<HKEY, CloseRegistryKey> key;  // empty when not open

    UpdaterEntry() {}
    UpdaterEntry(const UpdaterEntry&) = delete;
    UpdaterEntry& operator=(const UpdaterEntry&) = delete;
    virtual ~UpdaterEntry() {}

    // Opens folder's entry of list for reading. False when there is none,
    // or it names another folder.
    bool Open(const wchar_t* list, const std::wstring& folder);
    // Opens or creates it for writing, its "Folder" set. False (the
    // system's error) when the key cannot be written: the run then needs
    // administrators' rights it lacks.
    bool Create(const wchar_t* list, const std::wstring& folder);

    // A text value of at most maxLength characters; false when missing, of
    // another type or longer.
    bool ReadText(const wchar_t* value, std::wstring& text, size_t maxLength) const;
    // A binary value of exactly size bytes; false otherwise.
    bool ReadBytes(const wchar_t* value, void* bytes, DWORD size) const;
    bool WriteText(const wchar_t* value, const std::wstring& text);
    bool WriteBytes(const wchar_t* value, const void* bytes, DWORD size);
    // On disk before it returns: what follows may rely on it after a crash.
    bool Flush();

    // Removes folder's entry of list; true when none is left.
    static bool Remove(const wchar_t* list, const std::wstring& folder);
};
