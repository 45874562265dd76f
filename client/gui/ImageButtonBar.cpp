#include "ImageButtonBar.h"

namespace {

const COLORREF kTransparent = RGB(255, 0, 255);
// Room around an image inside its button.
const int kButtonMargin = 7;

}

ImageButtonBar::~ImageButtonBar()
{
    // The bar may outlive its window (the dialog is gone) but not its images.
    if (hwnd_ && IsWindow(hwnd_))
        SendMessageA(hwnd_, TB_SETIMAGELIST, 0, 0);
    if (images_)
        ImageList_Destroy(images_);
}

bool ImageButtonBar::Create(HWND dialog, int placeholderId, int bitmapId, int imageSize, const ImageButton *buttons,
                            int count)
{
    HWND placeholder = GetDlgItem(dialog, placeholderId);
    if ((hwnd_ && IsWindow(hwnd_)) || !placeholder)
        return false;
    // The old bar went with its dialog (a page made again): start afresh.
    if (images_)
        ImageList_Destroy(images_);
    hwnd_ = nullptr;
    images_ = ImageList_LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(bitmapId), imageSize, 0, kTransparent,
                                   IMAGE_BITMAP, LR_CREATEDIBSECTION);
    if (!images_)
        return false;
    RECT place;
    GetWindowRect(placeholder, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&place), 2);
    DWORD style = WS_CHILD | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER |
                  (GetWindowLongA(placeholder, GWL_STYLE) & WS_VISIBLE);
    hwnd_ = CreateWindowExA(0, TOOLBARCLASSNAMEA, "", style, place.left, place.top, place.right - place.left,
                            place.bottom - place.top, dialog,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(placeholderId)), GetModuleHandleA(nullptr),
                            nullptr);
    if (!hwnd_)
        return false;
    // The bar takes the placeholder's place in the tab order too.
    SetWindowPos(hwnd_, placeholder, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    DestroyWindow(placeholder);

    SendMessageA(hwnd_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(hwnd_, TB_SETBITMAPSIZE, 0, MAKELPARAM(imageSize, imageSize));
    SendMessageA(hwnd_, TB_SETBUTTONSIZE, 0, MAKELPARAM(imageSize + kButtonMargin, imageSize + kButtonMargin));
    SendMessageA(hwnd_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
    HWND tips = reinterpret_cast<HWND>(SendMessageA(hwnd_, TB_GETTOOLTIPS, 0, 0));
    for (int i = 0; i < count; i++) {
        TBBUTTON button = {};
        button.iBitmap = i;
        button.idCommand = buttons[i].command;
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = BTNS_BUTTON;
        SendMessageA(hwnd_, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&button));
        // Fixed tip texts: the dialog need not answer the tool tips' questions.
        TOOLINFOA tool = {};
        tool.cbSize = TTTOOLINFOA_V1_SIZE;
        tool.hwnd = hwnd_;
        tool.uId = static_cast<UINT_PTR>(buttons[i].command);
        tool.lpszText = const_cast<char *>(buttons[i].tip);
        SendMessageA(tips, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    return true;
}

void ImageButtonBar::Enable(int command, bool enabled)
{
    SendMessageA(hwnd_, TB_ENABLEBUTTON, command, MAKELPARAM(enabled, 0));
}
