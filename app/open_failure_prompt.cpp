#include "app/open_failure_prompt.h"

#include <windows.h>
#include "base/exceptions.h"
#include "base/string.h"

bool PromptOpenFailure(const char* path)
{
    // Wine's MessageBoxA clears the last error; the Abort report must carry
    // the error of the failed open, so it is taken before the box.
    const DWORD error = GetLastError();
    String text;
    text.Format("ファイル %s が開けません。", path ? path : "");
    const int answer = MessageBoxA(nullptr, text.text, "ファイルエラー",
                                   MB_TOPMOST | MB_ABORTRETRYIGNORE);
    if (answer == IDRETRY)
        return true;
    if (answer == IDABORT) {
        String message;
        message.Format("ファイル %s が開けませんでした。", path ? path : "");
        SetLastError(error);
        throw OCErrorException(message.text);
    }
    return false;
}
