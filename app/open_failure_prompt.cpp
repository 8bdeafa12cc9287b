#include "app/open_failure_prompt.h"

#include <windows.h>
#include "base/exceptions.h"
#include "system/message_box.h"
#include "base/messages.h"
#include "system/run_log.h"
#include "base/text_932.h"

bool PromptOpenFailure(const std::wstring& path)
{
    // Wine's message box clears the last error; the Abort report must carry
    // the error of the failed open, so it is taken before the box.
    const DWORD error = GetLastError();
    LogFailure("opening or replacing", path, error);
    const int answer = ShowMessageBox(WideSentence(kOpenFailedText, path),
                                      "ファイルエラー", MB_ABORTRETRYIGNORE);
    if (answer == IDRETRY)
        return true;
    if (answer == IDABORT) {
        SetLastError(error);
        throw OCErrorException(kOpenAbortedText, path);
    }
    return false;
}
