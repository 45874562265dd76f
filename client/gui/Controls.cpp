#include "Controls.h"

#include <string.h>

namespace {

LRESULT Send(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendDlgItemMessageA(dialog, id, message, wParam, lParam);
}

LPARAM TextParam(const std::string &text)
{
    return reinterpret_cast<LPARAM>(text.c_str());
}

}

std::string WindowString(HWND window)
{
    int length = window ? GetWindowTextLengthA(window) : 0;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    if (window)
        GetWindowTextA(window, &text[0], length + 1);
    text.resize(strlen(text.c_str()));
    return text;
}

std::string CtlGetText(HWND dialog, int id)
{
    return WindowString(GetDlgItem(dialog, id));
}

void CtlSetText(HWND dialog, int id, const std::string &text)
{
    SetDlgItemTextA(dialog, id, text.c_str());
}

void CtlAppendText(HWND dialog, int id, const std::string &text)
{
    HWND box = GetDlgItem(dialog, id);
    int length = GetWindowTextLengthA(box);
    SendMessageA(box, EM_SETSEL, length, length);
    SendMessageA(box, EM_REPLACESEL, FALSE, TextParam(text));
    SendMessageA(box, EM_SCROLLCARET, 0, 0);
}

bool CtlIsChecked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void CtlSetCheck(HWND dialog, int id, bool checked)
{
    CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void CtlEnable(HWND dialog, int id, bool enabled)
{
    EnableWindow(GetDlgItem(dialog, id), enabled);
}

void CtlShow(HWND dialog, int id, bool shown)
{
    ShowWindow(GetDlgItem(dialog, id), shown ? SW_SHOW : SW_HIDE);
}

int ComboAdd(HWND dialog, int id, const std::string &text)
{
    return static_cast<int>(Send(dialog, id, CB_ADDSTRING, 0, TextParam(text)));
}

void ComboReset(HWND dialog, int id)
{
    Send(dialog, id, CB_RESETCONTENT);
}

int ComboCount(HWND dialog, int id)
{
    return GetDlgItem(dialog, id) ? static_cast<int>(Send(dialog, id, CB_GETCOUNT)) : 0;
}

std::string ComboText(HWND dialog, int id, int index)
{
    LRESULT length = Send(dialog, id, CB_GETLBTEXTLEN, index);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    Send(dialog, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(strlen(text.c_str()));
    return text;
}

int ComboSelection(HWND dialog, int id)
{
    return GetDlgItem(dialog, id) ? static_cast<int>(Send(dialog, id, CB_GETCURSEL)) : CB_ERR;
}

void ComboSelect(HWND dialog, int id, int index)
{
    Send(dialog, id, CB_SETCURSEL, index);
}

int ListAdd(HWND dialog, int id, const std::string &text, LPARAM data)
{
    int index = static_cast<int>(Send(dialog, id, LB_ADDSTRING, 0, TextParam(text)));
    if (index >= 0)
        Send(dialog, id, LB_SETITEMDATA, index, data);
    return index;
}

void ListReset(HWND dialog, int id)
{
    Send(dialog, id, LB_RESETCONTENT);
}

int ListCount(HWND dialog, int id)
{
    return GetDlgItem(dialog, id) ? static_cast<int>(Send(dialog, id, LB_GETCOUNT)) : 0;
}

LPARAM ListData(HWND dialog, int id, int index)
{
    return Send(dialog, id, LB_GETITEMDATA, index);
}

int ListSelection(HWND dialog, int id)
{
    return GetDlgItem(dialog, id) ? static_cast<int>(Send(dialog, id, LB_GETCURSEL)) : LB_ERR;
}
