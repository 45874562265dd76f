// Helpers for the controls of a dialog, each given by its dialog and control id. A control that
// does not exist reads as empty, unchecked or unselected.
#ifndef CLIENT_GUI_CONTROLS_H
#define CLIENT_GUI_CONTROLS_H

#include <windows.h>

#include <string>

std::string WindowString(HWND window);
std::string CtlGetText(HWND dialog, int id);
void CtlSetText(HWND dialog, int id, const std::string &text);
// Appends to the end of a text box and scrolls to it.
void CtlAppendText(HWND dialog, int id, const std::string &text);
bool CtlIsChecked(HWND dialog, int id);
void CtlSetCheck(HWND dialog, int id, bool checked);
void CtlEnable(HWND dialog, int id, bool enabled);
void CtlShow(HWND dialog, int id, bool shown);

// Combo boxes: positions from 0, -1 for none.
int ComboAdd(HWND dialog, int id, const std::string &text);
void ComboReset(HWND dialog, int id);
int ComboCount(HWND dialog, int id);
std::string ComboText(HWND dialog, int id, int index);
int ComboSelection(HWND dialog, int id);
void ComboSelect(HWND dialog, int id, int index);

// List boxes with one pointer-sized datum per item.
int ListAdd(HWND dialog, int id, const std::string &text, LPARAM data);
void ListReset(HWND dialog, int id);
int ListCount(HWND dialog, int id);
LPARAM ListData(HWND dialog, int id, int index);
int ListSelection(HWND dialog, int id);

#endif
