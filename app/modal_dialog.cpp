#include "app/modal_dialog.h"

#include <exception>

namespace {
// One thread shows the dialogs, and a nested dialog ends before its owner.
std::exception_ptr heldFailure;
}

ModalDialog::ModalDialog(int templateId, DLGPROC dialogProc)
    : window(nullptr), templateId(templateId), instance(nullptr), parent(nullptr),
      dialogProc(dialogProc), ownsWindow(false)
{
}

ModalDialog::~ModalDialog()
{
    if (ownsWindow && window)
        DestroyWindow(window);
}

INT_PTR ModalDialog::ShowModal()
{
    // The modal loop destroys its own window.
    ownsWindow = false;
    const INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), parent,
                                           dialogProc, reinterpret_cast<LPARAM>(this));
    if (heldFailure) {
        std::exception_ptr failure = heldFailure;
        heldFailure = nullptr;
        std::rethrow_exception(failure);
    }
    return result;
}

void ModalDialog::GetItemText(int controlId, String& text)
{
    String item(1024);
    if (GetDlgItemTextA(window, controlId, item.text, item.capacity) != 0)
        text.Assign(item.text);
}

void ModalDialog::HoldFailure(HWND window)
{
    if (!heldFailure)
        heldFailure = std::current_exception();
    EndDialog(window, -1);
}
