#pragma once
// Binding system functions on their first call instead of at start-up.
//
// Under Wine, user32 itself imports version.dll, so a program that imports
// user32 (or shell32, ole32, comctl32, which import user32) loads a
// version.dll planted beside it before its first line can restrict the
// search; Windows' KnownDLLs protect only the names on their list. So the
// programs import nothing but kernel32, advapi32 and msvcrt, and every other
// system function is bound here: LATE_IMPORT defines the import slot the
// compiler calls through (__imp__Name@Bytes), which first points at a thunk
// that loads the library from the system folder, resolves the function, puts
// it into the slot and jumps to it. Later calls go straight through the slot.
//
// A function used without a LATE_IMPORT line falls back to the ordinary
// import library, and its DLL shows up in the import table, which a test
// reads. i686 only: Bytes is the stdcall argument size in the decorated name.

// One late import, as the thunk hands it to LateBind. Plain data on
// purpose: the assembler lays its instances out, three words each.
struct LateImport {
    const char* library;
    const char* name;
    void** slot;
};

// Loads import->library from the system folder, resolves import->name and
// stores it in *import->slot; returns it. A system library or function that
// is missing ends the process with ERROR_PROC_NOT_FOUND: no exception may
// leave a thunk, and nothing can be shown without user32.
extern "C" void* __cdecl LateBind(LateImport* import);

// The blocks hold every definition of their files (no C++ data is
// defined beside them), and each ends in .text, where the compiler expects
// to be, so its own idea of the current section stays true.
#define LATE_LIBRARY(symbol, fileName)                                          \
    __asm__(".section .rdata,\"dr\"\n"                                          \
            "_" #symbol ": .asciz \"" fileName "\"\n"                           \
            ".text\n")

#define LATE_IMPORT(librarySymbol, name, bytes)                                 \
    __asm__(".section .rdata,\"dr\"\n"                                          \
            "_lateName_" #name ": .asciz \"" #name "\"\n"                       \
            ".data\n"                                                           \
            ".align 4\n"                                                        \
            ".globl __imp__" #name "@" #bytes "\n"                              \
            "__imp__" #name "@" #bytes ": .long _lateThunk_" #name "\n"         \
            "_lateImport_" #name ": .long _" #librarySymbol ", _lateName_" #name \
            ", __imp__" #name "@" #bytes "\n"                                   \
            ".text\n"                                                           \
            "_lateThunk_" #name ":\n"                                           \
            "  pushl $_lateImport_" #name "\n"                                  \
            "  call _LateBind\n"                                                \
            "  addl $4, %esp\n"                                                 \
            "  jmp *%eax\n")
