#include "update/version_library.h"

#include "base/exceptions.h"
#include "base/system_library.h"

namespace {

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
    HMODULE module = LoadSystemLibrary("version.dll");
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
