/* A shortcut file made as the shell makes one, for the tests of shortcut resolution and of the
 * pages that take shortcuts. */
#ifndef TESTS_CLIENT_GUI_MAKE_SHORTCUT_H
#define TESTS_CLIENT_GUI_MAKE_SHORTCUT_H

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

inline void MakeShortcut(const std::string &shortcut, const std::string &target)
{
    IShellLinkA *link = nullptr;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                           reinterpret_cast<void **>(&link))));
    EXPECT_TRUE(SUCCEEDED(link->SetPath(target.c_str())));
    IPersistFile *file = nullptr;
    EXPECT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file))));
    WCHAR wide[MAX_PATH] = L"";
    MultiByteToWideChar(CP_ACP, 0, shortcut.c_str(), -1, wide, MAX_PATH);
    EXPECT_TRUE(SUCCEEDED(file->Save(wide, TRUE)));
    file->Release();
    link->Release();
}

#endif
