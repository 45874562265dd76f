#include <gtest/gtest.h>

#include <functional>

#include "Controls.h"
#include "Dialog.h"
#include "RegistryBinding.h"
#include "gui_test_key.h"
#include "gui_test_resource.h"
#include "modal_driver.h"
#include "named_record.h"

namespace {

// The test template with hooks for its initialisation and its OK button.
class BindingDialog : public Dialog {
public:
    BindingDialog() : Dialog(MAKEINTRESOURCEA(IDD_BINDINGS)) {}

    std::function<void(HWND)> onInit;
    std::function<void(HWND)> onOK;

protected:
    BOOL OnInitDialog() override
    {
        ComboAdd(hwnd_, IDC_METHOD, "Use manual setup");
        ComboAdd(hwnd_, IDC_METHOD, "Automatically detect");
        onInit(hwnd_);
        return TRUE;
    }
    void OnOK() override
    {
        onOK(hwnd_);
        EndDialog(IDOK);
    }
};

struct Seen {
    std::string number, text, records, choices;
    bool radio[3] = {};
    bool flag = false;
    int choice = -2, method = -2;
};

std::string ListTexts(HWND dialog, int id)
{
    std::string texts;
    HWND box = GetDlgItem(dialog, id);
    for (int i = 0, count = static_cast<int>(SendMessageA(box, LB_GETCOUNT, 0, 0)); i < count; i++) {
        char text[64] = "";
        SendMessageA(box, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        texts += std::string(text) + ";";
    }
    return texts;
}

std::string ComboTexts(HWND dialog, int id)
{
    std::string texts;
    for (int i = 0, count = ComboCount(dialog, id); i < count; i++)
        texts += ComboText(dialog, id, i) + ";";
    return texts;
}

void Select(HWND dialog, int id, int index)
{
    HWND combo = GetDlgItem(dialog, id);
    SendMessageA(combo, CB_SETCURSEL, index, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

}

class BindingControlsTest : public GuiTestKey {
protected:
    // Every value kind bound to its control and to the registry, as a page binds them.
    void BindAll()
    {
        std::string path = kTestKey, records = Path("Records"), map = Path("Map");
        const int both = kBindControl | kBindRegistry;
        HKEY user = HKEY_CURRENT_USER;
        list.Add({0, both, kValueNumber, kControlText, IDC_NUMBER, user, path.c_str(), "Number"});
        list.Add({0, both, kValueString, kControlTextAlt, IDC_TEXT, user, path.c_str(), "Text"});
        list.Add({0, both, kValueNumber, kControlRadioGroup, IDC_RADIO_FIRST, user, path.c_str(), "Choice"});
        list.Add({0, both, kValueOnOff, kControlCheckBox, IDC_FLAG, user, path.c_str(), "Flag"});
        list.Add({0, both, kValueRecordList, kControlListBox, IDC_RECORDS, user, records.c_str(), ""})
            ->factory = NamedRecord::Make;
        list.Add({3, both, kValueStringMap, kControlComboBox, IDC_CHOICES, user, map.c_str(), ""});
        list.Add({0, both, kValueNumber, kControlComboBox, IDC_METHOD, user, path.c_str(), "Method"});
    }

    RegistryBindingList list;
};

TEST_F(BindingControlsTest, RegistryValuesReachTheControlsAndEditsReachTheRegistry)
{
    std::string path = kTestKey, records = Path("Records"), map = Path("Map");
    Put(path, "Number", 42);
    Put(path, "Text", "hello");
    Put(path, "Choice", 2);
    Put(path, "Flag", 1);
    Put(path, "Method", 1);
    Put(records + "\\1", "Name", "beta");
    Put(records + "\\0", "Name", "alpha");
    for (const char *name : {"0", "1", "2", "3"})
        Put(map, name, (std::string("choice") + name).c_str());
    BindAll();

    BindingDialog dialog;
    bool loaded = false, saved = false;
    dialog.onInit = [&](HWND hwnd) {
        loaded = list.Exchange(kExchangeRegistry, nullptr, true) && list.Exchange(kExchangeControls, hwnd, false);
    };
    dialog.onOK = [&](HWND hwnd) {
        saved = list.Exchange(kExchangeControls, hwnd, true) && list.Exchange(kExchangeRegistry, nullptr, false);
    };
    Seen seen;
    ModalDriver driver([&](HWND hwnd) {
        seen.number = ModalDriver::ItemText(hwnd, IDC_NUMBER);
        seen.text = ModalDriver::ItemText(hwnd, IDC_TEXT);
        for (int i = 0; i < 3; i++)
            seen.radio[i] = IsDlgButtonChecked(hwnd, IDC_RADIO_FIRST + i) == BST_CHECKED;
        seen.flag = IsDlgButtonChecked(hwnd, IDC_FLAG) == BST_CHECKED;
        seen.records = ListTexts(hwnd, IDC_RECORDS);
        seen.choices = ComboTexts(hwnd, IDC_CHOICES);
        seen.choice = ComboSelection(hwnd, IDC_CHOICES);
        seen.method = ComboSelection(hwnd, IDC_METHOD);

        SendDlgItemMessageA(hwnd, IDC_NUMBER, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("-7"));
        SendDlgItemMessageA(hwnd, IDC_TEXT, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("world"));
        ModalDriver::Click(hwnd, IDC_RADIO_SECOND);
        ModalDriver::Click(hwnd, IDC_FLAG);
        SendDlgItemMessageA(hwnd, IDC_RECORDS, LB_DELETESTRING, 0, 0);
        SendDlgItemMessageA(hwnd, IDC_CHOICES, CB_DELETESTRING, 1, 0);
        Select(hwnd, IDC_METHOD, 0);
        ModalDriver::Click(hwnd, IDOK);
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
    ASSERT_TRUE(driver.Acted());
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(saved);

    EXPECT_EQ("42", seen.number);
    EXPECT_EQ("hello", seen.text);
    EXPECT_FALSE(seen.radio[0]);
    EXPECT_FALSE(seen.radio[1]);
    EXPECT_TRUE(seen.radio[2]);
    EXPECT_TRUE(seen.flag);
    EXPECT_EQ("alpha;beta;", seen.records);
    EXPECT_EQ("choice0;choice1;choice2;", seen.choices);
    EXPECT_EQ(0, seen.choice);
    EXPECT_EQ(1, seen.method);

    EXPECT_EQ(static_cast<DWORD>(-7), GetNumber(path, "Number"));
    EXPECT_EQ("world", GetText(path, "Text"));
    EXPECT_EQ(1u, GetNumber(path, "Choice"));
    EXPECT_EQ(0u, GetNumber(path, "Flag"));
    EXPECT_EQ(0u, GetNumber(path, "Method"));
    EXPECT_EQ("beta", GetText(records + "\\0", "Name"));
    EXPECT_FALSE(Has(records + "\\1", "Name"));
    EXPECT_EQ("choice0", GetText(map, "0"));
    EXPECT_EQ("choice2", GetText(map, "1"));
}

TEST_F(BindingControlsTest, MissingControlsAreSkippedButAMissingRadioGroupFails)
{
    std::string path = kTestKey;
    HKEY user = HKEY_CURRENT_USER;
    RegistryBinding *text = list.Add({0, kBindControl, kValueString, kControlText, 4242, user, path.c_str(), "A"});
    text->text = "kept";
    BindingDialog dialog;
    bool textOnly = false, withRadio = true;
    dialog.onInit = [&](HWND hwnd) {
        textOnly = list.Exchange(kExchangeControls, hwnd, true) && list.Exchange(kExchangeControls, hwnd, false);
        list.Add({0, kBindControl, kValueNumber, kControlRadioGroup, 4243, user, path.c_str(), "B"});
        withRadio = list.Exchange(kExchangeControls, hwnd, true);
        ::EndDialog(hwnd, IDCANCEL);
    };
    dialog.DoModal();
    EXPECT_TRUE(textOnly);
    EXPECT_EQ("kept", text->text);
    EXPECT_FALSE(withRadio);
}

TEST_F(BindingControlsTest, RadioGroupWithNothingCheckedKeepsTheNumber)
{
    std::string path = kTestKey;
    RegistryBinding *choice = list.Add(
        {0, kBindControl, kValueNumber, kControlRadioGroup, IDC_RADIO_FIRST, HKEY_CURRENT_USER, path.c_str(), "C"});
    choice->number = 9;
    BindingDialog dialog;
    bool ok = false;
    dialog.onInit = [&](HWND hwnd) {
        ok = list.Exchange(kExchangeControls, hwnd, true);
        ::EndDialog(hwnd, IDCANCEL);
    };
    dialog.DoModal();
    EXPECT_TRUE(ok);
    EXPECT_EQ(9, choice->number);
}
