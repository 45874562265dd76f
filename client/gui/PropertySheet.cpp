#include "PropertySheet.h"

#include "PropertyPage.h"
#include "Subclass.h"

namespace {

// The creation callback of a sheet carries no user data: the sheet being created is known to
// its thread only.
thread_local PropertySheet *creating = nullptr;

// Posted to the sheet: drop the pages after the position in wParam if it is still current.
const UINT WM_DROP_PAGES = RegisterWindowMessageA("FerrowinDropPages");

}

PropertySheet::PropertySheet(const char *caption, bool wizard) : caption_(caption), wizard_(wizard)
{
}

void PropertySheet::AddPage(PropertyPage *page)
{
    pages_.push_back(page);
    if (hwnd_)
        SendMessageA(hwnd_, PSM_ADDPAGE, 0, reinterpret_cast<LPARAM>(page->CreatePage()));
}

void PropertySheet::RemovePage(int index)
{
    if (index < 0 || index >= PageCount())
        return;
    if (hwnd_)
        SendMessageA(hwnd_, PSM_REMOVEPAGE, index, 0);
    pages_.erase(pages_.begin() + index);
}

void PropertySheet::KeepPages(int count)
{
    while (PageCount() > count)
        RemovePage(count);
}

void PropertySheet::SetNextPage(int position, PropertyPage *next)
{
    KeepPages(position + 1);
    AddPage(next);
}

void PropertySheet::DropPagesAfter(int position)
{
    PostMessageA(hwnd_, WM_DROP_PAGES, position, 0);
}

bool PropertySheet::ApplyPage(int index)
{
    HWND page = reinterpret_cast<HWND>(SendMessageA(hwnd_, PSM_INDEXTOHWND, index, 0));
    if (!page)
        return true;
    PSHNOTIFY notify = {};
    notify.hdr.hwndFrom = hwnd_;
    notify.hdr.idFrom = 0;
    notify.hdr.code = PSN_APPLY;
    SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
    SendMessageA(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
    return GetWindowLongPtrA(page, DWLP_MSGRESULT) == PSNRET_NOERROR;
}

int PropertySheet::ActiveIndex() const
{
    HWND page = reinterpret_cast<HWND>(SendMessageA(hwnd_, PSM_GETCURRENTPAGEHWND, 0, 0));
    return static_cast<int>(SendMessageA(hwnd_, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0));
}

void PropertySheet::SetActivePage(int index)
{
    SendMessageA(hwnd_, PSM_SETCURSEL, index, 0);
}

void PropertySheet::SetWizardButtons(DWORD flags)
{
    SendMessageA(hwnd_, PSM_SETWIZBUTTONS, 0, flags);
}

void PropertySheet::PressButton(int button)
{
    PostMessageA(hwnd_, PSM_PRESSBUTTON, button, 0);
}

int CALLBACK PropertySheet::SheetCallback(HWND hwnd, UINT message, LPARAM)
{
    if (message == PSCB_INITIALIZED && creating) {
        PropertySheet *self = creating;
        creating = nullptr;
        self->hwnd_ = hwnd;
        SubclassWindow(hwnd, SheetProc, self);
        self->OnInitialized();
    }
    return 0;
}

LRESULT CALLBACK PropertySheet::SheetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PropertySheet *self = static_cast<PropertySheet *>(SubclassObject(hwnd));
    if (message == WM_NCDESTROY) {
        self->hwnd_ = nullptr;
        return SubclassDefault(hwnd, message, wParam, lParam);
    }
    if (message == WM_DROP_PAGES) {
        int position = static_cast<int>(wParam);
        if (self->ActiveIndex() == position)
            self->KeepPages(position + 1);
        return 0;
    }
    return self->WindowProc(message, wParam, lParam);
}

LRESULT PropertySheet::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return Default(message, wParam, lParam);
}

LRESULT PropertySheet::Default(UINT message, WPARAM wParam, LPARAM lParam)
{
    return SubclassDefault(hwnd_, message, wParam, lParam);
}

INT_PTR PropertySheet::DoModal(HWND owner)
{
    std::vector<HPROPSHEETPAGE> handles;
    for (PropertyPage *page : pages_)
        handles.push_back(page->CreatePage());

    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_MODELESS | PSH_USECALLBACK | (wizard_ ? PSH_WIZARD : 0);
    header.hwndParent = owner;
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszCaption = caption_.c_str();
    header.nPages = static_cast<UINT>(handles.size());
    header.phpage = handles.data();
    header.pfnCallback = SheetCallback;

    creating = this;
    HWND hwnd = reinterpret_cast<HWND>(PropertySheetA(&header));
    creating = nullptr;
    if (!hwnd)
        return IDCANCEL;
    if (owner)
        EnableWindow(owner, FALSE);
    bool done = RunLoop();
    INT_PTR result = done ? SendMessageA(hwnd, PSM_GETRESULT, 0, 0) : 0;
    if (owner) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
    DestroyWindow(hwnd);
    // PSM_GETRESULT gives 1 for a sheet that applied (OK or Finish), 0 for Cancel; a wizard has
    // no OK.
    if (result <= 0)
        return IDCANCEL;
    return wizard_ ? ID_WIZFINISH : IDOK;
}

bool PropertySheet::RunLoop()
{
    // A modeless sheet has no current page once OK, Cancel or Finish has ended it.
    while (hwnd_ && SendMessageA(hwnd_, PSM_GETCURRENTPAGEHWND, 0, 0)) {
        MSG msg;
        if (GetMessageA(&msg, nullptr, 0, 0) <= 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (PreTranslateMessage(msg))
            continue;
        if (hwnd_ && SendMessageA(hwnd_, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(&msg)))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return hwnd_ != nullptr;
}
