#include "update/version_library.h"

#include "base/exceptions.h"
#include "base/string.h"

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32 needs an update on Windows 7 that not every
// machine has; without it the flag is refused, and the full path of the
// system folder's copy is just as safe.
HMODULE LoadFromSystemFolder(const char* name)
{
    HMODULE module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module || GetLastError() != ERROR_INVALID_PARAMETER)
        return module;
    String path(MAX_PATH);
    const UINT length = GetSystemDirectoryA(path.text, UINT(path.capacity));
    if (length == 0 || length >= UINT(path.capacity))
        return nullptr;
    path.length = int32_t(length);
    path.AppendFormat("\\%s", name);
    return LoadLibraryExA(path.text, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <class Function>
bool Resolve(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

}  // namespace

VersionLibrary::VersionLibrary()
    : getFileVersionInfoSize(nullptr), getFileVersionInfo(nullptr), verQueryValue(nullptr),
      module_(nullptr)
{
}

VersionLibrary::~VersionLibrary()
{
    if (module_)
        FreeLibrary(module_);
}

bool VersionLibrary::Load()
{
    if (module_)
        return true;
    HMODULE module = LoadFromSystemFolder("version.dll");
    if (!module)
        return false;
    if (!Resolve(module, "GetFileVersionInfoSizeA", getFileVersionInfoSize) ||
        !Resolve(module, "GetFileVersionInfoA", getFileVersionInfo) ||
        !Resolve(module, "VerQueryValueA", verQueryValue)) {
        const DWORD error = GetLastError();
        FreeLibrary(module);
        SetLastError(error);
        return false;
    }
    module_ = module;
    return true;
}

const VersionLibrary& VersionLibrary::Get()
{
    static VersionLibrary library;
    if (!library.Load())
        throw OCErrorException("version.dll を読み込めませんでした。");
    return library;
}
