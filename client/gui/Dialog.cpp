#include "Dialog.h"

INT_PTR Dialog::DoModal(HWND owner)
{
    return DialogBoxParamA(GetModuleHandleA(nullptr), template_, owner, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

void Dialog::EndDialog(INT_PTR result)
{
    ::EndDialog(hwnd_, result);
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Dialog *self = message == WM_INITDIALOG
                       ? reinterpret_cast<Dialog *>(lParam)
                       : reinterpret_cast<Dialog *>(GetWindowLongPtrA(hwnd, DWLP_USER));
    return Dispatch(self, hwnd, message, wParam, lParam);
}

INT_PTR Dialog::Dispatch(Dialog *self, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    }
    // Messages before WM_INITDIALOG (WM_SETFONT) have no object yet.
    if (!self)
        return FALSE;
    INT_PTR result = self->OnMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY)
        self->hwnd_ = nullptr;
    return result;
}

INT_PTR Dialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (!OnNotify(reinterpret_cast<NMHDR *>(lParam), result))
            return FALSE;
        SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        return SendMessageA(reinterpret_cast<HWND>(lParam), WM_REFLECT_CTLCOLORSTATIC, wParam, 0);
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT *draw = reinterpret_cast<DRAWITEMSTRUCT *>(lParam);
        return draw->CtlType != ODT_MENU && SendMessageA(draw->hwndItem, WM_REFLECT_DRAWITEM, wParam, lParam);
    }
    default:
        return FALSE;
    }
}

bool Dialog::OnCommand(int id, int code, HWND)
{
    if (code != BN_CLICKED)
        return false;
    if (id == IDOK)
        OnOK();
    else if (id == IDCANCEL)
        OnCancel();
    else
        return false;
    return true;
}

bool Dialog::OnNotify(NMHDR *, LRESULT &)
{
    return false;
}
