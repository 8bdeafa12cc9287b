#include "updtool/console/tool_error.h"

#include "base/shown_text.h"

void ThrowSystemError(const std::string& what, const std::wstring& path)
{
    throw ToolError(SystemErrorText(what, GetLastError(), path));
}
