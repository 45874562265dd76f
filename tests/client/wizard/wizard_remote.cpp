// Moves a running client.exe's setup wizard as a user would, for the screenshot script:
//   wizard_remote next|back|cancel   the wizard's button
//   wizard_remote click ID           a button of the current page, by its control id (decimal)
// Waits (bounded) for the wizard; 0 when the message went out.
#include <windows.h>
#include <commctrl.h>

#include <stdlib.h>
#include <string.h>

namespace {

// The wizard is captioned by the page shown: it is known by its Next button.
const int kNextButton = 0x3024;

BOOL CALLBACK FindWizard(HWND window, LPARAM found)
{
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    if (!IsWindowVisible(window) || strcmp(name, "#32770") != 0 || !GetDlgItem(window, kNextButton))
        return TRUE;
    *reinterpret_cast<HWND *>(found) = window;
    return FALSE;
}

}

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3)
        return 2;
    HWND wizard = nullptr;
    for (int tries = 0; tries < 300 && !wizard; tries++) {
        EnumWindows(FindWizard, reinterpret_cast<LPARAM>(&wizard));
        if (!wizard)
            Sleep(100);
    }
    if (!wizard)
        return 1;
    const char *action = argv[1];
    if (strcmp(action, "click") == 0 && argc == 3) {
        HWND page = reinterpret_cast<HWND>(SendMessageA(wizard, PSM_GETCURRENTPAGEHWND, 0, 0));
        HWND button = GetDlgItem(page, atoi(argv[2]));
        return button && PostMessageA(button, BM_CLICK, 0, 0) ? 0 : 1;
    }
    const struct {
        const char *name;
        int button;
    } buttons[] = {{"next", PSBTN_NEXT}, {"back", PSBTN_BACK}, {"cancel", PSBTN_CANCEL}};
    for (const auto &entry : buttons)
        if (argc == 2 && strcmp(action, entry.name) == 0)
            return PostMessageA(wizard, PSM_PRESSBUTTON, entry.button, 0) ? 0 : 1;
    return 2;
}
