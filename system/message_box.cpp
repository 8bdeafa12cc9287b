#include "system/message_box.h"

#include "system/run_log.h"
#include "base/text_932.h"

// String's own box, here with the other boxes: the string type itself knows
// nothing of UTF-16.
int String::ShowMessage(HWND, const char* caption, UINT style) const
{
    return ShowMessageBox(WideFrom932(text), caption, style);
}

int ShowMessageBox(const std::wstring& text, const char* caption, UINT style)
{
    const std::wstring wideCaption = WideFrom932(caption ? caption : "エラー");
    LogEvent("message box \"" + LogText(wideCaption) + "\": \"" + LogText(text) + "\"");
    const int answer = MessageBoxW(nullptr, text.c_str(), wideCaption.c_str(), style | MB_TOPMOST);
    LogEvent("message box answered: " + AnswerName(answer));
    return answer;
}

std::string AnswerName(int answer)
{
    switch (answer) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    case 0: return "no box could be shown (" + LogError(GetLastError()) + ")";
    default: return "button " + std::to_string(answer);
    }
}
