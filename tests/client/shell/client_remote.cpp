// Acts on a running client.exe as the shell and a user would, for the screenshot script and the
// tray test under a real display:  client_remote ACTION
//   iconmenu  the notification-area icon's right button (opens the icon menu)
//   restore   the icon's double click
//   about     the sheet's system-menu About
//   ok        the sheet's OK button
//   close     the icon menu's Close
//   menuclose the open icon menu's "&Close", by its key
//   closeabout  OK of the About box
//   cancelwizard  Cancel of the setup wizard
//   proxytab  the second tab (the proxy page of a set-up by hand)
//   newroute  the proxy page's New button (opens "Proxy Properties")
//   closeproperties  Cancel of "Proxy Properties"
//   pagetext ID TEXT  types TEXT into the current page's control ID (decimal)
//   tab N     the sheet's tab N (from 0)
//   command ID  a button of the current page, by its control id (decimal)
//   cancel TITLE  Cancel of the dialog with this title
// Waits (bounded) for the sheet "Ferrowin Client Properties"; 0 when the message went out.
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "cancel") == 0) {
        HWND dialog = FindWindowA(nullptr, argv[2]);
        return dialog && PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0) ? 0 : 1;
    }
    if (argc != 2 && !(argc == 3 && (strcmp(argv[1], "tab") == 0 || strcmp(argv[1], "command") == 0))
        && !(argc == 4 && strcmp(argv[1], "pagetext") == 0))
        return 2;
    if (strcmp(argv[1], "closeabout") == 0) {
        HWND about = FindWindowA(nullptr, "About Ferrowin Client");
        return about && PostMessageA(about, WM_COMMAND, IDOK, 0) ? 0 : 1;
    }
    if (strcmp(argv[1], "menuclose") == 0) {
        HWND menu = FindWindowA("#32768", nullptr);
        return menu && PostMessageA(menu, WM_KEYDOWN, 'C', 0) ? 0 : 1;
    }
    if (strcmp(argv[1], "cancelwizard") == 0) {
        HWND wizard = FindWindowA(nullptr, "Ferrowin Client Setup Wizard");
        return wizard && PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_CANCEL, 0) ? 0 : 1;
    }
    if (strcmp(argv[1], "closeproperties") == 0) {
        HWND properties = FindWindowA(nullptr, "Proxy Properties");
        return properties && PostMessageA(properties, WM_COMMAND, IDCANCEL, 0) ? 0 : 1;
    }
    HWND sheet = nullptr;
    for (int tries = 0; tries < 300 && !sheet; tries++) {
        sheet = FindWindowA(nullptr, "Ferrowin Client Properties");
        if (!sheet)
            Sleep(100);
    }
    if (!sheet) {
        fprintf(stderr, "client_remote: no sheet\n");
        return 1;
    }
    const UINT iconNotify = RegisterWindowMessageA("WM_ICONNOTIFY");
    const char *action = argv[1];
    if (strcmp(action, "iconmenu") == 0)
        PostMessageA(sheet, iconNotify, 100, WM_RBUTTONDOWN);
    else if (strcmp(action, "restore") == 0)
        PostMessageA(sheet, iconNotify, 100, WM_LBUTTONDBLCLK);
    else if (strcmp(action, "about") == 0)
        PostMessageA(sheet, WM_SYSCOMMAND, 16, 0);
    else if (strcmp(action, "ok") == 0)
        PostMessageA(sheet, WM_COMMAND, IDOK, 0);
    else if (strcmp(action, "proxytab") == 0)
        PostMessageA(sheet, PSM_SETCURSEL, 1, 0);
    else if (strcmp(action, "newroute") == 0)
        PostMessageA(reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)), WM_COMMAND, 1080, 0);
    else if (strcmp(action, "tab") == 0)
        PostMessageA(sheet, PSM_SETCURSEL, atoi(argv[2]), 0);
    else if (strcmp(action, "command") == 0)
        PostMessageA(reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)), WM_COMMAND,
                     MAKEWPARAM(atoi(argv[2]), BN_CLICKED), 0);
    else if (strcmp(action, "pagetext") == 0 && argc == 4)
        SetDlgItemTextA(reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)), atoi(argv[2]),
                        argv[3]);
    else if (strcmp(action, "close") == 0)
        PostMessageA(sheet, WM_COMMAND, 32772, 0);
    else
        return 2;
    return 0;
}
