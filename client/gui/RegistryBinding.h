// Bindings of page settings: each moves one setting between a registry value, its own variable
// and a dialog control; a list moves all of a page's settings at once.
#ifndef CLIENT_GUI_REGISTRYBINDING_H
#define CLIENT_GUI_REGISTRYBINDING_H

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "RegistryKey.h"

// Binding flags.
const int kBindControl = 1;
const int kBindRegistry = 2;

// Value kinds.
const int kValueNumber = 0;
const int kValueString = 1;
const int kValueOnOff = 2;
const int kValueStringMap = 3;
const int kValueStringArray = 4;
const int kValueRecordList = 5;

// Control kinds.
const int kControlText = 0;
const int kControlTextAlt = 1;
const int kControlRadioGroup = 4;
const int kControlCheckBox = 5;
const int kControlListBox = 6;
const int kControlComboBox = 10;

// Exchange targets (kExchangeNone moves nothing).
const int kExchangeControls = 1;
const int kExchangeRegistry = 2;
const int kExchangeNone = 4;

// A sub-record of a record list: stored under its own subkey, shown by one line in a list box.
class RegistryRecord {
public:
    virtual ~RegistryRecord() = default;
    virtual bool Load(HKEY parent, const char *subkey) = 0;
    virtual bool Save(HKEY parent, const char *subkey) = 0;
    virtual std::string DisplayText() const = 0;
};

typedef std::vector<std::unique_ptr<RegistryRecord>> RecordList;
// Makes an empty sub-record for every subkey a record list loads.
typedef std::unique_ptr<RegistryRecord> (*RecordFactory)();

struct RegistryBindingDesc {
    int limit;
    int flags;
    int valueKind;
    int controlKind;
    int controlId;
    HKEY root;
    const char *keyPath;
    const char *valueName;
};

// The variable is the member of the value kind; a binding starts at 0, empty or off, and a
// caller sets a different start value (or hands over a container) right after adding it.
struct RegistryBinding {
    explicit RegistryBinding(const RegistryBindingDesc &desc);

    int limit;
    int flags;
    int valueKind;
    LONG number = 0;
    std::string text;
    BYTE onOff = 0;
    StringMap map;
    StringArray array;
    RecordList records;
    RecordFactory factory = nullptr;
    int controlKind;
    int controlId;
    HKEY root;
    std::string keyPath;
    std::string valueName;
};

class RegistryBindingList {
public:
    // A root of null means HKEY_CURRENT_USER. The binding stays valid as long as the list.
    RegistryBinding *Add(const RegistryBindingDesc &desc);
    // The first binding of that value name, or null.
    RegistryBinding *Find(const char *valueName) const;
    int Count() const { return static_cast<int>(bindings_.size()); }

    // retrieve: controls or registry to variables; otherwise variables to controls or registry.
    bool Exchange(int target, HWND dialog, bool retrieve);

private:
    bool ExchangeRegistry(bool retrieve);
    bool ExchangeControls(HWND dialog, bool retrieve);

    std::vector<std::unique_ptr<RegistryBinding>> bindings_;
};

#endif
