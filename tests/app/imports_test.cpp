// The programs' import tables name only DLLs that are loaded from the system
// folder whatever lies beside the program: anything else could be planted in
// the folder they are started from. Of the KnownDLLs only those whose Wine
// builds import nothing beyond them: Wine's user32 imports version.dll, so
// user32, and every DLL that imports it, is bound at run time instead.

#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "tests/app/app_test_support.h"
#include "tests/support/scratch_dir.h"

namespace {

// The DLL names of a PE file's import directory, upper-cased; "<unreadable>"
// when the file's headers do not hold together.
std::set<std::string> ImportedDlls(const std::string& bytes)
{
    auto at = [&bytes](size_t offset, size_t size) -> const char* {
        return offset + size <= bytes.size() ? bytes.data() + offset : nullptr;
    };
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS32 nt;
    const char* p = at(0, sizeof dos);
    if (!p)
        return {"<unreadable>"};
    memcpy(&dos, p, sizeof dos);
    if (!(p = at(size_t(dos.e_lfanew), sizeof nt)))
        return {"<unreadable>"};
    memcpy(&nt, p, sizeof nt);
    const IMAGE_DATA_DIRECTORY imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const size_t sections = size_t(dos.e_lfanew) + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                            nt.FileHeader.SizeOfOptionalHeader;
    // A relative virtual address as a file offset, through the section table.
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
            IMAGE_SECTION_HEADER section;
            const char* s = at(sections + i * sizeof section, sizeof section);
            if (!s)
                break;
            memcpy(&section, s, sizeof section);
            if (rva >= section.VirtualAddress && rva < section.VirtualAddress + section.SizeOfRawData)
                return rva - section.VirtualAddress + section.PointerToRawData;
        }
        return bytes.size();
    };
    std::set<std::string> names;
    for (size_t offset = fileOffset(imports.VirtualAddress);; offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        if (!(p = at(offset, sizeof descriptor)))
            return {"<unreadable>"};
        memcpy(&descriptor, p, sizeof descriptor);
        if (descriptor.Name == 0)
            break;
        const size_t nameOffset = fileOffset(descriptor.Name);
        std::string name;
        for (const char* c = at(nameOffset, 1); c && *c; c = at(nameOffset + name.size(), 1))
            name += char(toupper(static_cast<unsigned char>(*c)));
        names.insert(name);
    }
    return names;
}

}  // namespace

TEST(Imports, OnlyDllsTheSystemFolderAlwaysProvides)
{
    const std::set<std::string> knownDlls = {"KERNEL32.DLL", "ADVAPI32.DLL", "MSVCRT.DLL"};
    for (const char* program : {"updater.exe", "updtool.exe"}) {
        const std::string path = ProgramFolder() + "\\..\\..\\bin\\" + program;
        const std::set<std::string> imported = ImportedDlls(ReadFileBytes(path));
        EXPECT_TRUE(imported.count("KERNEL32.DLL")) << program << ": import table not read";
        for (const std::string& dll : imported)
            EXPECT_TRUE(knownDlls.count(dll)) << program << " imports " << dll;
    }
}
