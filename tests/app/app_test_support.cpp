#include "tests/app/app_test_support.h"

#include "base/text_932.h"

#include <gtest/gtest.h>

std::string ProgramFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    const size_t slash = folder.find_last_of('\\');
    return slash == std::string::npos ? folder : folder.substr(0, slash);
}

std::string FixturePath(const std::string& name)
{
    return ProgramFolder() + "\\fixtures\\" + name;
}

std::string AsStd(const String& value)
{
    return value.text ? value.text : "";
}

std::string AsStd(const std::wstring& value)
{
    String shown;
    ShownIn932(value, shown);
    return AsStd(shown);
}

MachineKey::MachineKey(const std::string& subKey) : handle(nullptr), subKey_(subKey)
{
    const LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, 0,
                                        KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    EXPECT_EQ(ERROR_SUCCESS, result) << "creating HKLM\\" << subKey;
}

MachineKey::~MachineKey()
{
    if (handle)
        RegCloseKey(handle);
    // Removes the whole chain this test made, up to the first component.
    const std::string top = subKey_.substr(0, subKey_.find('\\', sizeof "SOFTWARE"));
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, top.c_str());
}

void MachineKey::SetRaw(const char* name, const std::string& bytes, DWORD type)
{
    const LONG result = RegSetValueExA(handle, name, 0, type,
                                       reinterpret_cast<const BYTE*>(bytes.data()),
                                       DWORD(bytes.size()));
    EXPECT_EQ(ERROR_SUCCESS, result) << "setting " << name;
}

void MachineKey::SetText(const char* name, const std::string& text)
{
    SetRaw(name, std::string(text.c_str(), text.size() + 1));
}

std::string UniqueName(const char* prefix)
{
    return std::string(prefix) + std::to_string(GetCurrentProcessId()) + "x" +
           std::to_string(GetTickCount());
}
