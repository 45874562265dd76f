// "Application List": edits the include or the exclude list, with each program's icons. Files
// come from the open-file dialog or are dropped onto the dialog; each is checked as it comes, so
// that the list never holds a file the engine could not use or the file could not hold.
#ifndef CLIENT_PAGES_APPLICATIONLISTDIALOG_H
#define CLIENT_PAGES_APPLICATIONLISTDIALOG_H

#include <windows.h>
#include <shellapi.h>

#include <stdint.h>

#include "ClientSettings.h"
#include "Dialog.h"
#include "IconListControl.h"

class ApplicationListDialog : public Dialog {
public:
    // kind: XR_CFG_KIND_YES (include list) or XR_CFG_KIND_NO (exclude list). list is replaced on
    // OK only; other is the opposite list, asked about before a path goes on both.
    ApplicationListDialog(int32_t kind, PathList &list, const PathList &other);

    bool accepted = false;

protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;

private:
    // Adds a file chosen or dropped by the user, or reports why it is not added.
    void AddFile(const std::string &chosen);
    void Browse();
    void Drop(HDROP drop);
    void RemoveSelected();
    // The row showing this path (compared exactly), or -1.
    int RowOf(const std::string &path) const;

    int32_t kind_;
    PathList &list_;
    const PathList &other_;
    IconListControl icons_;
};

#endif
