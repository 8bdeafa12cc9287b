#include "base/message_box.h"

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
    return MessageBoxW(nullptr, text.c_str(), wideCaption.c_str(), style | MB_TOPMOST);
}
