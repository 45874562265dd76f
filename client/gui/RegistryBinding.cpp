#include "RegistryBinding.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <utility>

#include "Controls.h"

namespace {

std::string Numbered(size_t i)
{
    return std::to_string(i);
}

// The position a numbered name stands for, or -1.
long PositionOf(const std::string &name, size_t count)
{
    char *end = nullptr;
    long value = strtol(name.c_str(), &end, 10);
    return name.empty() || *end || value < 0 || static_cast<size_t>(value) >= count ? -1 : value;
}

// Moves every numbered name to the position it names; names that name no free position stay
// where the moves leave them.
void SortByPosition(StringArray &names)
{
    for (size_t i = 0; i < names.size(); i++) {
        for (size_t moves = 0; moves < names.size(); moves++) {
            long target = PositionOf(names[i], names.size());
            if (target < 0 || static_cast<size_t>(target) == i ||
                PositionOf(names[target], names.size()) == target)
                break;
            std::swap(names[i], names[target]);
        }
    }
}

bool ReadFromKey(RegistryKey &key, RegistryBinding &b)
{
    const char *name = b.valueName.c_str();
    DWORD number = 0;
    switch (b.valueKind) {
    case kValueNumber:
        b.number = key.ReadNumber(name, number) ? static_cast<LONG>(number) : -1;
        return true;
    case kValueString:
        if (!key.ReadString(name, b.text))
            b.text.clear();
        return true;
    case kValueOnOff:
        b.onOff = key.ReadNumber(name, number) && number != 0;
        return true;
    case kValueStringMap:
        return key.ListValuesToMap(b.map);
    case kValueStringArray:
        return key.ListValues(nullptr, &b.array);
    case kValueRecordList: {
        StringArray names;
        if (!b.factory || !key.ListSubKeys(names))
            return false;
        SortByPosition(names);
        b.records.clear();
        bool ok = true;
        for (const std::string &subkey : names) {
            b.records.push_back(b.factory());
            ok = b.records.back()->Load(key.Handle(), subkey.c_str()) && ok;
        }
        return ok;
    }
    default:
        return false;
    }
}

// Entries numbered from count on are left over from a longer list written before.
template <typename Delete>
void DeleteNumberedFrom(size_t count, size_t held, Delete remove)
{
    for (size_t i = count; i < held; i++)
        remove(Numbered(i).c_str());
}

bool WriteToKey(RegistryKey &key, RegistryBinding &b)
{
    const char *name = b.valueName.c_str();
    switch (b.valueKind) {
    case kValueNumber:
        return key.WriteNumber(name, static_cast<DWORD>(b.number));
    case kValueString:
        return key.WriteString(name, b.text);
    case kValueOnOff:
        return key.WriteNumber(name, b.onOff ? 1 : 0);
    case kValueStringMap: {
        size_t count = b.map.size();
        for (size_t i = static_cast<size_t>(std::max(b.limit, 0)); i < count; i++)
            b.map.erase(Numbered(i));
        return key.WriteMap(b.map);
    }
    case kValueStringArray: {
        StringArray names, held;
        for (size_t i = 0; i < b.array.size(); i++)
            names.push_back(Numbered(i));
        if (!key.WriteArrays(names, b.array) || !key.ListValues(&held, nullptr))
            return false;
        DeleteNumberedFrom(b.array.size(), held.size(), [&](const char *n) { key.DeleteValue(n); });
        return true;
    }
    case kValueRecordList: {
        bool ok = true;
        for (size_t i = 0; i < b.records.size(); i++)
            ok = b.records[i]->Save(key.Handle(), Numbered(i).c_str()) && ok;
        StringArray held;
        if (!key.ListSubKeys(held))
            return false;
        DeleteNumberedFrom(b.records.size(), held.size(), [&](const char *n) { key.DeleteSubKey(n); });
        return ok;
    }
    default:
        return false;
    }
}

// Calls visit(button, position) for the radio buttons from first to the next group start, until
// visit returns true.
template <typename Visit>
void WalkRadioGroup(HWND first, Visit visit)
{
    int position = 0;
    for (HWND control = first; control;) {
        if ((SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) && visit(control, position++))
            return;
        control = GetWindow(control, GW_HWNDNEXT);
        if (control && (GetWindowLongA(control, GWL_STYLE) & WS_GROUP))
            return;
    }
}

void ToControl(HWND dialog, RegistryBinding &b)
{
    int id = b.controlId;
    switch (b.controlKind) {
    case kControlText:
    case kControlTextAlt:
        if (b.valueKind == kValueNumber)
            CtlSetText(dialog, id, std::to_string(b.number));
        else if (b.valueKind == kValueString)
            CtlSetText(dialog, id, b.text);
        break;
    case kControlRadioGroup:
        WalkRadioGroup(GetDlgItem(dialog, id), [&](HWND button, int position) {
            SendMessageA(button, BM_SETCHECK, position == b.number ? BST_CHECKED : BST_UNCHECKED, 0);
            return false;
        });
        break;
    case kControlCheckBox:
        if (b.valueKind == kValueOnOff)
            CtlSetCheck(dialog, id, b.onOff == 1);
        break;
    case kControlListBox:
        if (b.valueKind != kValueRecordList)
            break;
        ListReset(dialog, id);
        for (const auto &record : b.records)
            ListAdd(dialog, id, record->DisplayText(), reinterpret_cast<LPARAM>(record.get()));
        break;
    case kControlComboBox:
        if (b.valueKind == kValueStringMap) {
            ComboReset(dialog, id);
            for (int i = 0; i < b.limit; i++) {
                auto entry = b.map.find(Numbered(i));
                if (entry != b.map.end())
                    ComboAdd(dialog, id, entry->second);
            }
            ComboSelect(dialog, id, 0);
        } else if (b.valueKind == kValueNumber) {
            ComboSelect(dialog, id, b.number);
        }
        break;
    }
}

// The records in the order of the list box; records no longer in the box are destroyed.
void RecordsFromListBox(HWND dialog, RegistryBinding &b)
{
    RecordList ordered;
    for (int i = 0, count = ListCount(dialog, b.controlId); i < count; i++) {
        LPARAM data = ListData(dialog, b.controlId, i);
        auto found = std::find_if(b.records.begin(), b.records.end(), [&](const auto &record) {
            return record && reinterpret_cast<LPARAM>(record.get()) == data;
        });
        if (found != b.records.end())
            ordered.push_back(std::move(*found));
    }
    b.records = std::move(ordered);
}

void FromControl(HWND dialog, RegistryBinding &b)
{
    int id = b.controlId;
    switch (b.controlKind) {
    case kControlText:
    case kControlTextAlt:
        if (b.valueKind == kValueNumber)
            b.number = strtol(CtlGetText(dialog, id).c_str(), nullptr, 10);
        else if (b.valueKind == kValueString)
            b.text = CtlGetText(dialog, id);
        break;
    case kControlRadioGroup:
        WalkRadioGroup(GetDlgItem(dialog, id), [&](HWND button, int position) {
            if (SendMessageA(button, BM_GETCHECK, 0, 0) != BST_CHECKED)
                return false;
            b.number = position;
            return true;
        });
        break;
    case kControlCheckBox:
        if (b.valueKind == kValueOnOff)
            b.onOff = CtlIsChecked(dialog, id) ? 1 : 0;
        break;
    case kControlListBox:
        if (b.valueKind == kValueRecordList)
            RecordsFromListBox(dialog, b);
        break;
    case kControlComboBox:
        if (b.valueKind == kValueStringMap) {
            b.map.clear();
            for (int i = 0, count = ComboCount(dialog, id); i < count; i++)
                b.map[Numbered(i)] = ComboText(dialog, id, i);
        } else if (b.valueKind == kValueNumber) {
            b.number = ComboSelection(dialog, id);
        }
        break;
    }
}

}

RegistryBinding::RegistryBinding(const RegistryBindingDesc &desc)
    : limit(desc.limit), flags(desc.flags), valueKind(desc.valueKind), controlKind(desc.controlKind),
      controlId(desc.controlId), root(desc.root ? desc.root : HKEY_CURRENT_USER),
      keyPath(desc.keyPath ? desc.keyPath : ""), valueName(desc.valueName ? desc.valueName : "")
{
}

RegistryBinding *RegistryBindingList::Add(const RegistryBindingDesc &desc)
{
    bindings_.push_back(std::make_unique<RegistryBinding>(desc));
    return bindings_.back().get();
}

RegistryBinding *RegistryBindingList::Find(const char *valueName) const
{
    for (const auto &binding : bindings_)
        if (binding->valueName == valueName)
            return binding.get();
    return nullptr;
}

bool RegistryBindingList::Exchange(int target, HWND dialog, bool retrieve)
{
    if (target == kExchangeRegistry)
        return ExchangeRegistry(retrieve);
    if (target == kExchangeControls)
        return ExchangeControls(dialog, retrieve);
    return true;
}

bool RegistryBindingList::ExchangeRegistry(bool retrieve)
{
    RegistryKey key;
    std::string openPath;
    bool ok = true;
    for (size_t i = bindings_.size(); i-- > 0;) {
        RegistryBinding &b = *bindings_[i];
        if (!(b.flags & kBindRegistry))
            continue;
        // Consecutive bindings of one key share the open key.
        if (!key.Handle() || key.Root() != b.root || openPath != b.keyPath) {
            key.Close();
            if (!key.Open(b.root, b.keyPath.c_str(), KEY_READ | KEY_WRITE))
                return false;
            openPath = b.keyPath;
        }
        ok = (retrieve ? ReadFromKey(key, b) : WriteToKey(key, b)) && ok;
    }
    return ok;
}

bool RegistryBindingList::ExchangeControls(HWND dialog, bool retrieve)
{
    for (size_t i = bindings_.size(); i-- > 0;) {
        RegistryBinding &b = *bindings_[i];
        if (!(b.flags & kBindControl))
            continue;
        if (!GetDlgItem(dialog, b.controlId)) {
            // Only a radio group has no sensible "unchanged" to fall back on.
            if (retrieve && b.controlKind == kControlRadioGroup)
                return false;
            continue;
        }
        if (retrieve)
            FromControl(dialog, b);
        else
            ToControl(dialog, b);
    }
    return true;
}
