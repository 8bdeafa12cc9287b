#include "system/native_file.h"

#include <cstring>

namespace {

// Plain data on purpose: the table below is checked as it is compiled.
struct OpenRow {
    FileOpen how;
    DWORD access;
    DWORD share;
    DWORD disposition;
    DWORD flags;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// One row per FileOpen, in its order. The reparse flag on a create changes
// nothing on Windows (CREATE_NEW fails on any name that exists, a link
// included); it keeps a system that would follow one from doing so.
constexpr OpenRow kOpens[] = {
    {FileOpen::Read, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN},
    {FileOpen::ReadBesideWriters, GENERIC_READ, kShareAll, OPEN_EXISTING,
     FILE_FLAG_SEQUENTIAL_SCAN},
    {FileOpen::ReadAsStream, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0},
    {FileOpen::CreateNew, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW,
     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT},
    {FileOpen::CreateProvisional, GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
     CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT},
    {FileOpen::WriteExisting, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING,
     FILE_FLAG_OPEN_REPARSE_POINT},
    {FileOpen::WriteAlone, GENERIC_WRITE, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL},
    {FileOpen::ProbeReplace, GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES, kShareAll,
     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL},
    {FileOpen::ProbeMove, DELETE | FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING,
     FILE_ATTRIBUTE_NORMAL},
    // No delete sharing, so that the folder cannot be renamed away.
    {FileOpen::HoldFolder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT},
    {FileOpen::FollowFolder, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING,
     FILE_FLAG_BACKUP_SEMANTICS},
    {FileOpen::HoldOrMakeFolder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS,
     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT},
    {FileOpen::HoldFollowedFolder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
     FILE_FLAG_BACKUP_SEMANTICS},
    {FileOpen::RemoveItself, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll, OPEN_EXISTING,
     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT},
};

constexpr bool EveryOpenInItsRow()
{
    for (size_t i = 0; i < sizeof kOpens / sizeof kOpens[0]; ++i)
        if (size_t(kOpens[i].how) != i)
            return false;
    return sizeof kOpens / sizeof kOpens[0] == size_t(FileOpen::RemoveItself) + 1;
}
static_assert(EveryOpenInItsRow(), "kOpens: one row per FileOpen, in its order");

bool Missing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

const uint32_t kDigestChunk = 256 * 1024;

// The native calls a step below a held folder needs, from ntdll (in every
// process: nothing is loaded by name).
typedef LONG NtStatus;

struct NtName {
    USHORT length;
    USHORT maximumLength;
    const wchar_t* buffer;
};

struct NtObject {
    ULONG length;
    HANDLE root;
    NtName* name;
    ULONG attributes;
    void* securityDescriptor;
    void* securityQualityOfService;
};

struct NtIoStatus {
    NtStatus status;
    ULONG_PTR information;
};

typedef NtStatus(NTAPI* NtCreateFileCall)(HANDLE*, ACCESS_MASK, NtObject*, NtIoStatus*, LARGE_INTEGER*, ULONG,
                                          ULONG, ULONG, ULONG, void*, ULONG);
typedef NtStatus(NTAPI* NtSetInformationFileCall)(HANDLE, NtIoStatus*, void*, ULONG, ULONG);
typedef ULONG(NTAPI* NtStatusToErrorCall)(NtStatus);

template <typename Call>
Call Native(const char* name)
{
    return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// The system's error for a native status; false when it is a failure.
bool NativeDone(NtStatus status)
{
    if (status >= 0)
        return true;
    static const NtStatusToErrorCall toError = Native<NtStatusToErrorCall>("RtlNtStatusToDosError");
    SetLastError(toError ? toError(status) : ERROR_GEN_FAILURE);
    return false;
}

const ULONG kObjectCaseInsensitive = 0x40;
const ULONG kFileOpen = 1, kFileCreate = 2, kFileOpenIf = 3;
const ULONG kDirectoryFile = 0x1, kSequentialOnly = 0x4, kSynchronousIo = 0x20, kNonDirectoryFile = 0x40,
            kOpenForBackup = 0x4000, kOpenReparsePoint = 0x200000;
const ULONG kFileRenameInformation = 10, kFileLinkInformation = 11;

// An open of row's kind of leaf in the held folder.
bool OpenInHeldFolder(const OpenRow& row, const FilePlace& place, Handle& file, const SECURITY_ATTRIBUTES* security)
{
    static const NtCreateFileCall create = Native<NtCreateFileCall>("NtCreateFile");
    if (!create) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    const std::wstring& leaf = place.Name();
    NtName name = {USHORT(leaf.size() * sizeof(wchar_t)), USHORT(leaf.size() * sizeof(wchar_t)), leaf.c_str()};
    NtObject object = {sizeof object, place.Held(), &name, kObjectCaseInsensitive,
                       security ? security->lpSecurityDescriptor : nullptr, nullptr};
    const bool folder = (row.flags & FILE_FLAG_BACKUP_SEMANTICS) != 0;
    const ULONG options = kSynchronousIo | (folder ? kOpenForBackup : kNonDirectoryFile) |
                          (row.how == FileOpen::HoldFolder || row.how == FileOpen::HoldOrMakeFolder ? kDirectoryFile : 0) |
                          (row.flags & FILE_FLAG_OPEN_REPARSE_POINT ? kOpenReparsePoint : 0) |
                          (row.flags & FILE_FLAG_SEQUENTIAL_SCAN ? kSequentialOnly : 0);
    const ULONG disposition = row.disposition == CREATE_NEW    ? kFileCreate
                              : row.disposition == OPEN_ALWAYS ? kFileOpenIf
                                                               : kFileOpen;
    HANDLE opened = nullptr;
    NtIoStatus io = {};
    if (!NativeDone(create(&opened, row.access | SYNCHRONIZE, &object, &io, nullptr,
                           row.flags & FILE_ATTRIBUTE_NORMAL ? FILE_ATTRIBUTE_NORMAL : 0, row.share, disposition,
                           options, nullptr, 0)))
        return false;
    file.Reset(opened);
    return true;
}

// Renames (or links) file to `to`'s leaf in its held folder.
bool SetNameInHeldFolder(const Handle& file, const FilePlace& to, bool replace, ULONG what)
{
    static const NtSetInformationFileCall set = Native<NtSetInformationFileCall>("NtSetInformationFile");
    if (!set) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    // FILE_RENAME_INFORMATION and FILE_LINK_INFORMATION: a flag, the
    // folder, the name's length in bytes and the name.
    struct Head {
        BOOLEAN replace;
        HANDLE root;
        ULONG nameBytes;
    };
    const std::wstring& leaf = to.Name();
    std::vector<unsigned char> information(sizeof(Head) + (leaf.size() + 1) * sizeof(wchar_t), 0);
    Head head = {BOOLEAN(replace), to.Held(), ULONG(leaf.size() * sizeof(wchar_t))};
    std::memcpy(information.data(), &head, sizeof head);
    std::memcpy(information.data() + sizeof head, leaf.c_str(), leaf.size() * sizeof(wchar_t));
    NtIoStatus io = {};
    return NativeDone(set(file.Get(), &io, information.data(), ULONG(information.size()), what));
}

}  // namespace

FilePlace::FilePlace(const std::wstring& path) : name_(path) {}

FilePlace::FilePlace(const std::wstring& folder, const std::wstring& name)
    : folder_(folder), name_(name)
{
}

FilePlace::FilePlace(HANDLE held, const std::wstring& folder, const std::wstring& leaf)
    : folder_(folder), name_(leaf), held_(held)
{
}

FilePlace::~FilePlace() {}

std::wstring FilePlace::Path() const
{
    if (folder_.empty())
        return name_;
    return folder_.back() == L'\\' ? folder_ + name_ : folder_ + L"\\" + name_;
}

bool OpenFile(FileOpen how, const FilePlace& place, Handle& file,
              const SECURITY_ATTRIBUTES* security)
{
    const OpenRow& row = kOpens[size_t(how)];
    if (place.Held()) {
        if (!OpenInHeldFolder(row, place, file, security))
            return false;
    } else {
        file.Reset(CreateFileW(place.Path().c_str(), row.access, row.share,
                               const_cast<SECURITY_ATTRIBUTES*>(security), row.disposition, row.flags,
                               nullptr));
        if (!file.Valid())
            return false;
    }
    if (how != FileOpen::WriteExisting)
        return true;
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file.Get(), &information)) {
        file.Reset();
        return false;
    }
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        file.Reset();
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

std::wstring FinalPathOf(HANDLE handle)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle, &path[0], DWORD(path.size()), 0);
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length + 1);
    }
}

std::wstring FinalPathOf(const FilePlace& place)
{
    Handle folder;
    return OpenFile(FileOpen::FollowFolder, place, folder) ? FinalPathOf(folder.Get()) : std::wstring();
}

bool ReadUpTo(HANDLE file, void* buffer, uint32_t n, uint32_t& got)
{
    got = 0;
    while (got < n) {
        DWORD read = 0;
        if (!ReadFile(file, static_cast<char*>(buffer) + got, n - got, &read, nullptr))
            return false;
        if (read == 0)
            break;
        got += read;
    }
    return true;
}

FileRead ReadWholeFile(const FilePlace& place, uint64_t limit, std::vector<char>& bytes,
                       FileOpen how)
{
    Handle file;
    if (!OpenFile(how, place, file))
        return Missing(GetLastError()) ? FileRead::Missing : FileRead::Unreadable;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size))
        return FileRead::Unreadable;
    if (uint64_t(size.QuadPart) > limit || uint64_t(size.QuadPart) > UINT32_MAX) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return FileRead::TooLarge;
    }
    bytes.resize(size_t(size.QuadPart));
    uint32_t got = 0;
    if (!ReadUpTo(file.Get(), bytes.data(), uint32_t(bytes.size()), got))
        return FileRead::Unreadable;
    if (got != bytes.size()) {
        SetLastError(ERROR_HANDLE_EOF);
        return FileRead::Unreadable;
    }
    return FileRead::Done;
}

FileDigester::FileDigester() : buffer_(kDigestChunk) {}

FileDigester::~FileDigester() {}

FileRead FileDigester::Digest(const FilePlace& place, uint64_t& size, Sha256::Digest& digest)
{
    Handle file;
    if (!OpenFile(FileOpen::Read, place, file))
        return Missing(GetLastError()) ? FileRead::Missing : FileRead::Unreadable;
    return DigestOpen(file.Get(), UINT64_MAX, size, digest);
}

FileRead FileDigester::DigestOpen(HANDLE file, uint64_t most, uint64_t& size,
                                  Sha256::Digest& digest, ProgressFunction progress, void* user)
{
    size = 0;
    for (uint32_t got = 0; size < most; size += got) {
        const uint32_t want = most - size < kDigestChunk ? uint32_t(most - size) : kDigestChunk;
        if (!ReadUpTo(file, buffer_.data(), want, got)) {
            // The next file starts a new stream.
            const DWORD error = GetLastError();
            Sha256::Digest partial;
            sha_.Finish(partial);
            SetLastError(error);
            return FileRead::Unreadable;
        }
        sha_.Add(buffer_.data(), got);
        if (progress && got)
            progress(got, user);
        if (got < want) {
            size += got;
            break;
        }
    }
    sha_.Finish(digest);
    return FileRead::Done;
}

bool FlushFileToDisk(const FilePlace& place)
{
    Handle file;
    return OpenFile(FileOpen::WriteAlone, place, file) && FlushFileBuffers(file.Get());
}

bool RenameOpenFile(const Handle& file, const FilePlace& from, const FilePlace& to, bool replace)
{
    if (to.Held())
        return SetNameInHeldFolder(file, to, replace, kFileRenameInformation);
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return MoveFileExW(from.Path().c_str(), to.Path().c_str(), flags) != 0;
}

bool DeleteOpenFile(const Handle& file)
{
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

bool LinkOpenFile(const Handle& file, const FilePlace& from, const FilePlace& to)
{
    if (to.Held())
        return SetNameInHeldFolder(file, to, false, kFileLinkInformation);
    return CreateHardLinkW(to.Path().c_str(), from.Path().c_str(), nullptr) != 0;
}

bool DeleteFileAt(const FilePlace& place)
{
    if (!place.Held())
        return DeleteFileW(place.Path().c_str()) != 0;
    Handle item;
    if (!OpenFile(FileOpen::RemoveItself, place, item))
        return false;
    ClearReadOnly(item);
    if (!DeleteOpenFile(item))
        return false;
    item.Reset();
    if (ExistsAt(place)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

bool ClearReadOnly(const Handle& file)
{
    FILE_BASIC_INFO basic = {};
    if (!GetFileInformationByHandleEx(file.Get(), FileBasicInfo, &basic, sizeof basic))
        return false;
    if (!(basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
        return true;
    // Only the attributes change: zero times are left as they are.
    FILE_BASIC_INFO attributes = {};
    attributes.FileAttributes = basic.FileAttributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
    if (attributes.FileAttributes == 0)
        attributes.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(file.Get(), FileBasicInfo, &attributes, sizeof attributes) != 0;
}

bool ExistsAt(const FilePlace& place)
{
    if (!place.Held())
        return GetFileAttributesW(place.Path().c_str()) != INVALID_FILE_ATTRIBUTES;
    Handle item;
    const bool there = OpenFile(FileOpen::RemoveItself, place, item) ||
                       (GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND);
    return there;
}

bool SameFileObject(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION x, y;
    return GetFileInformationByHandle(a, &x) && GetFileInformationByHandle(b, &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
           x.nFileIndexLow == y.nFileIndexLow;
}
