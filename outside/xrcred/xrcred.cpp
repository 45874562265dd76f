/* Stand-in credential cache: entries as binary registry values, one per server, under a key per
 * method; a small modal dialog built in memory; the test hooks described in xrcred.h. */
#include "xrcred.h"
#include "xrstr.h"

#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include <vector>

static_assert(sizeof(XrCCKey) == XRCC_KEY_SIZE, "credential key is 388 bytes");
static_assert(offsetof(XrCCId, server) == 388 && offsetof(XrCCId, userId) == 644 &&
                  sizeof(XrCCId) == XRCC_ID_SIZE,
              "enumerated records are 772 bytes with fields at 0, 388 and 644");

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

const char *const kMethodNames[] = {"upwd", "null", "ldap", "windom"}; // type codes -2 to -5
constexpr int kMethodCount = 4;

struct Lock {
    CRITICAL_SECTION section;
    Lock() { InitializeCriticalSection(&section); }
    ~Lock() { DeleteCriticalSection(&section); }
};
Lock g_lock;

struct Guard {
    Guard() { EnterCriticalSection(&g_lock.section); }
    ~Guard() { LeaveCriticalSection(&g_lock.section); }
};

struct Cache {
    bool initialised;
    HKEY root;
    char keyPath[512];
    int opens[kMethodCount];
};
Cache g_cache;
XrCCDialogHook g_dialogHook;
XrCCEnumHook g_enumHook;

template <size_t N> void Cut(char (&field)[N])
{
    field[N - 1] = '\0';
}

void CutTexts(XrCCCredential *entry)
{
    Cut(entry->id.key.server);
    Cut(entry->id.server);
    Cut(entry->id.userId);
    Cut(entry->text);
}

void Journal(const char *format, ...)
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("XRCRED_JOURNAL", path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return;
    FILE *file = fopen(path, "a");
    if (!file)
        return;
    va_list args;
    va_start(args, format);
    vfprintf(file, format, args);
    va_end(args);
    fputc('\n', file);
    fclose(file);
}

bool FailOnDemand(const char *call)
{
    char words[256];
    DWORD length = GetEnvironmentVariableA("XRCRED_FAIL", words, sizeof words);
    return length > 0 && length < sizeof words && strstr(words, call);
}

int MethodCode(const XrCCMethod *method)
{
    return method ? method->type : 0;
}

int MethodIndex(const XrCCMethod *method)
{
    int index = -2 - MethodCode(method);
    return method && index >= 0 && index < kMethodCount ? index : -1;
}

/* The entry's value name: the key's server, when it is neither empty nor unterminated. */
const char *EntryName(const XrCCKey *key)
{
    if (!key)
        return nullptr;
    size_t length = strnlen(key->server, sizeof key->server);
    return length > 0 && length < sizeof key->server ? key->server : nullptr;
}

const char *JournalServer(const XrCCKey *key)
{
    const char *name = EntryName(key);
    return name ? name : "";
}

/* Runs work on the method's registry key, held by the caller's guard; -1 when the method is
 * not open. */
template <typename Work> int WithMethodKey(const XrCCMethod *method, Work work)
{
    int index = MethodIndex(method);
    if (!g_cache.initialised || index < 0 || g_cache.opens[index] == 0)
        return -1;
    char path[sizeof g_cache.keyPath + 16];
    snprintf(path, sizeof path, "%s\\%s", g_cache.keyPath, kMethodNames[index]);
    HKEY key;
    if (RegCreateKeyExA(g_cache.root, path, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return -1;
    int result = work(key);
    RegCloseKey(key);
    return result;
}

/* out changes only when the value is a whole entry: a value of another type or size must not
 * leave part of it in the caller's record. */
int ReadEntry(HKEY key, const char *name, XrCCCredential *out)
{
    XrCCCredential entry;
    DWORD type;
    DWORD size = sizeof entry;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&entry), &size) !=
            ERROR_SUCCESS ||
        type != REG_BINARY || size != sizeof entry)
        return -1;
    CutTexts(&entry);
    *out = entry;
    return 0;
}

int EnumerateIds(HKEY key, XrCCId *records, int size)
{
    int bytes = 0;
    for (DWORD i = 0;; ++i) {
        char name[XRCC_SERVER_SIZE];
        DWORD nameLength = sizeof name;
        LONG status = RegEnumValueA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue; // not a server name of ours
        if (status != ERROR_SUCCESS)
            break;
        XrCCCredential entry;
        if (ReadEntry(key, name, &entry) != 0)
            continue;
        if (records) {
            if (size - bytes < XRCC_ID_SIZE)
                break;
            records[bytes / XRCC_ID_SIZE] = entry.id;
        }
        bytes += XRCC_ID_SIZE;
    }
    return bytes;
}

enum ControlId { kCaptionId = 100, kServerId, kUserId, kPasswordId, kSaveId, kLabelId };

/* A dialog template in memory, so that the library needs no resources. */
class DialogTemplate {
  public:
    DialogTemplate(short cx, short cy)
    {
        Dword(DS_MODALFRAME | DS_SETFONT | DS_CENTER | DS_SETFOREGROUND | WS_POPUP | WS_CAPTION |
              WS_SYSMENU);
        Dword(0);
        words_.insert(words_.end(), {0, 0, 0, static_cast<WORD>(cx), static_cast<WORD>(cy)});
        words_.insert(words_.end(), {0, 0, 0, 8}); // no menu, default class, no title; 8 points
        for (const char *c = "MS Shell Dlg";; ++c) {
            words_.push_back(static_cast<WORD>(*c));
            if (!*c)
                break;
        }
    }

    void Add(WORD atom, DWORD style, WORD id, short x, short y, short cx, short cy)
    {
        if (words_.size() % 2)
            words_.push_back(0);
        Dword(WS_CHILD | WS_VISIBLE | style);
        Dword(0);
        words_.insert(words_.end(), {static_cast<WORD>(x), static_cast<WORD>(y),
                                     static_cast<WORD>(cx), static_cast<WORD>(cy), id});
        words_.insert(words_.end(), {0xFFFF, atom, 0, 0}); // class atom, no title, no data
        ++words_[4];
    }

    const DLGTEMPLATE *Get() const { return reinterpret_cast<const DLGTEMPLATE *>(words_.data()); }

  private:
    void Dword(DWORD value) { words_.insert(words_.end(), {LOWORD(value), HIWORD(value)}); }

    std::vector<WORD> words_;
};

struct Field {
    int id;
    char *value;
    int size;
};

/* The three edit fields, in the order shown. */
void Fields(XrCCDialogDesc *d, Field (&fields)[3])
{
    fields[0] = {kServerId, d->server, sizeof d->server};
    fields[1] = {kUserId, d->user, sizeof d->user};
    fields[2] = {kPasswordId, d->password, sizeof d->password};
}

void ShowDescription(HWND dialog, XrCCDialogDesc *d)
{
    SetWindowTextA(dialog, d->title);
    const struct {
        int id;
        const char *text;
    } texts[] = {{kCaptionId, d->caption},        {kLabelId, d->serverLabel},
                 {kLabelId + 1, d->userLabel},    {kLabelId + 2, d->passwordLabel},
                 {kSaveId, d->checkText},         {IDOK, "OK"},
                 {IDCANCEL, "Cancel"}};
    for (const auto &t : texts)
        SetDlgItemTextA(dialog, t.id, t.text);
    Field fields[3];
    Fields(d, fields);
    for (const Field &f : fields) {
        SendDlgItemMessageA(dialog, f.id, EM_LIMITTEXT, f.size - 1, 0);
        SetDlgItemTextA(dialog, f.id, f.value);
    }
    CheckDlgButton(dialog, kSaveId, d->save ? BST_CHECKED : BST_UNCHECKED);
}

void TakeValues(HWND dialog, XrCCDialogDesc *d)
{
    Field fields[3];
    Fields(d, fields);
    for (const Field &f : fields)
        GetDlgItemTextA(dialog, f.id, f.value, f.size);
    d->save = IsDlgButtonChecked(dialog, kSaveId) == BST_CHECKED;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        ShowDescription(dialog, reinterpret_cast<XrCCDialogDesc *>(lParam));
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        bool confirmed = LOWORD(wParam) == IDOK;
        if (confirmed)
            TakeValues(dialog,
                       reinterpret_cast<XrCCDialogDesc *>(GetWindowLongPtrA(dialog, DWLP_USER)));
        EndDialog(dialog, confirmed ? 1 : 2);
        return TRUE;
    }
    return FALSE;
}

int ShowDialog(XrCCDialogDesc *d)
{
    const WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082;
    const DWORD kEditStyle = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
    DialogTemplate dialog(220, 119);
    dialog.Add(kStatic, SS_LEFT, kCaptionId, 7, 7, 206, 16);
    for (int i = 0; i < 3; ++i) {
        // a label before its edit, so that the label's mnemonic moves to the edit
        short y = static_cast<short>(28 + 18 * i);
        dialog.Add(kStatic, SS_LEFT, static_cast<WORD>(kLabelId + i), 7, y, 60, 8);
        dialog.Add(kEdit, kEditStyle | (i == 2 ? ES_PASSWORD : 0), static_cast<WORD>(kServerId + i),
                   70, static_cast<short>(y - 2), 143, 12);
    }
    dialog.Add(kButton, BS_AUTOCHECKBOX | WS_TABSTOP, kSaveId, 70, 82, 143, 10);
    dialog.Add(kButton, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, 109, 98, 50, 14);
    dialog.Add(kButton, BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, 163, 98, 50, 14);
    INT_PTR result = DialogBoxIndirectParamA(reinterpret_cast<HINSTANCE>(&__ImageBase),
                                             dialog.Get(), nullptr, DialogProc,
                                             reinterpret_cast<LPARAM>(d));
    return result == 1 || result == 2 ? static_cast<int>(result) : -1;
}

} // namespace

int __cdecl XrCC_Init(int flags, HKEY root, const char *keyPath, int(__cdecl *)(void))
{
    Guard guard;
    Journal("XrCC_Init %d 0x%08lX %s", flags,
            static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(root)), keyPath ? keyPath : "");
    char path[sizeof g_cache.keyPath];
    HKEY key;
    if (FailOnDemand("init") || !root || !keyPath || !*keyPath ||
        XrStrCopy(path, sizeof path, keyPath) != 0 ||
        RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_QUERY_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
        return -1;
    RegCloseKey(key);
    g_cache.initialised = true;
    g_cache.root = root;
    memcpy(g_cache.keyPath, path, sizeof path);
    return 0;
}

int __cdecl XrCC_Open(int flags)
{
    Guard guard;
    Journal("XrCC_Open %d", flags);
    return g_cache.initialised && !FailOnDemand("open") ? 0 : -1;
}

void __cdecl XrCC_Close(void)
{
    Guard guard;
    Journal("XrCC_Close");
}

void __cdecl XrCC_Exit(void)
{
    Guard guard;
    Journal("XrCC_Exit");
    g_cache = Cache{};
}

int __cdecl XrCCOpen(const XrCCMethod *method)
{
    Guard guard;
    Journal("XrCCOpen %d", MethodCode(method));
    int index = MethodIndex(method);
    if (!g_cache.initialised || index < 0)
        return -1;
    ++g_cache.opens[index];
    return 0;
}

int __cdecl XrCCClose(const XrCCMethod *method)
{
    Guard guard;
    Journal("XrCCClose %d", MethodCode(method));
    int index = MethodIndex(method);
    if (index < 0 || g_cache.opens[index] == 0)
        return -1;
    --g_cache.opens[index];
    return 0;
}

int __cdecl XrCC_EnumIds(const XrCCMethod *method, XrCCId *records, int size)
{
    Guard guard;
    Journal("XrCC_EnumIds %d", MethodCode(method));
    return WithMethodKey(method, [&](HKEY key) {
        return g_enumHook ? g_enumHook(method, records, size) : EnumerateIds(key, records, size);
    });
}

int __cdecl XrCCGet(const XrCCMethod *method, const XrCCKey *key, XrCCCredential *out)
{
    Guard guard;
    Journal("XrCCGet %d %s", MethodCode(method), JournalServer(key));
    const char *name = EntryName(key);
    if (!name || !out)
        return -1;
    return WithMethodKey(method, [&](HKEY methodKey) { return ReadEntry(methodKey, name, out); });
}

int __cdecl XrCCSet(const XrCCMethod *method, const XrCCCredential *record)
{
    Guard guard;
    const XrCCKey *key = record ? &record->id.key : nullptr;
    Journal("XrCCSet %d %s", MethodCode(method), JournalServer(key));
    const char *name = EntryName(key);
    if (!name)
        return -1;
    XrCCCredential entry = *record;
    CutTexts(&entry);
    return WithMethodKey(method, [&](HKEY methodKey) {
        const BYTE *data = reinterpret_cast<const BYTE *>(&entry);
        return RegSetValueExA(methodKey, name, 0, REG_BINARY, data, sizeof entry) == ERROR_SUCCESS
                   ? 0
                   : -1;
    });
}

int __cdecl XrCCDelete(const XrCCMethod *method, const XrCCKey *key)
{
    Guard guard;
    Journal("XrCCDelete %d %s", MethodCode(method), JournalServer(key));
    const char *name = EntryName(key);
    if (!name)
        return -1;
    return WithMethodKey(method, [&](HKEY methodKey) {
        return RegDeleteValueA(methodKey, name) == ERROR_SUCCESS ? 0 : -1;
    });
}

int __cdecl XrCCDialog2(XrCCDialogDesc *description)
{
    XrCCDialogHook hook;
    {
        Guard guard;
        Journal("XrCCDialog2");
        hook = g_dialogHook;
    }
    if (!description)
        return -1;
    // The dialog works on a terminated copy; the caller's values change only when confirmed.
    XrCCDialogDesc shown = *description;
    Cut(shown.title);
    Cut(shown.caption);
    Cut(shown.serverLabel);
    Cut(shown.userLabel);
    Cut(shown.passwordLabel);
    Cut(shown.checkText);
    Cut(shown.server);
    Cut(shown.user);
    Cut(shown.password);
    int result = hook ? hook(&shown) : ShowDialog(&shown);
    if (result == 1)
        *description = shown;
    return result;
}

int __cdecl XrCCDialog(void *)
{
    Guard guard;
    Journal("XrCCDialog");
    return 2;
}

void __cdecl XrCCSetDialogHook(XrCCDialogHook hook)
{
    Guard guard;
    g_dialogHook = hook;
}

void __cdecl XrCCSetEnumHook(XrCCEnumHook hook)
{
    Guard guard;
    g_enumHook = hook;
}
