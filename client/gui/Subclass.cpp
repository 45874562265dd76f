#include "Subclass.h"

namespace {

const char kObjectProp[] = "FerrowinObject";
const char kProcProp[] = "FerrowinProc";

}

void SubclassWindow(HWND hwnd, WNDPROC proc, void *object)
{
    SetPropA(hwnd, kObjectProp, object);
    SetPropA(hwnd, kProcProp, reinterpret_cast<HANDLE>(
                                  SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc))));
}

void *SubclassObject(HWND hwnd)
{
    return GetPropA(hwnd, kObjectProp);
}

LRESULT SubclassDefault(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC previous = reinterpret_cast<WNDPROC>(GetPropA(hwnd, kProcProp));
    if (message == WM_NCDESTROY)
        UnsubclassWindow(hwnd);
    return CallWindowProcA(previous, hwnd, message, wParam, lParam);
}

void UnsubclassWindow(HWND hwnd)
{
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GetPropA(hwnd, kProcProp)));
    RemovePropA(hwnd, kObjectProp);
    RemovePropA(hwnd, kProcProp);
}
