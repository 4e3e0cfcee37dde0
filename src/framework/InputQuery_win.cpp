#include "framework/InputQuery_win.h"

#include <vector>

#include "framework/Exceptions.h"

namespace {

constexpr WORD kPromptId = 10, kEditId = 11;
// Predefined window classes of a dialog template, by their atoms.
constexpr WORD kButtonClass = 0x0080, kEditClass = 0x0081, kStaticClass = 0x0082;

// A dialog template in memory: the layout that a resource script would
// give, built word by word as the dialog manager reads it.
class TDialogTemplate {
public:
    TDialogTemplate(const std::string& Caption, short Width, short Height) {
        const DWORD Style = DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
        AddDword(Style);
        AddDword(0);
        FCountAt = FWords.size();
        AddWord(0);  // items, counted as they are added
        for (short Value : {short(0), short(0), Width, Height})
            AddWord(static_cast<WORD>(Value));
        AddWord(0);  // no menu
        AddWord(0);  // the standard dialog class
        AddText(Caption);
        AddWord(8);
        AddText("MS Shell Dlg");
    }

    void AddItem(WORD ClassAtom, WORD Id, DWORD Style, const std::string& Text, RECT Box) {
        if (FWords.size() % 2)
            AddWord(0);  // every item starts on a DWORD
        AddDword(Style | WS_CHILD | WS_VISIBLE);
        AddDword(0);
        for (LONG Value : {Box.left, Box.top, Box.right, Box.bottom})
            AddWord(static_cast<WORD>(Value));
        AddWord(Id);
        AddWord(0xFFFF);
        AddWord(ClassAtom);
        AddText(Text);
        AddWord(0);  // no creation data
        ++FWords[FCountAt];
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(FWords.data()); }

private:
    void AddWord(WORD Value) { FWords.push_back(Value); }
    void AddDword(DWORD Value) {
        AddWord(LOWORD(Value));
        AddWord(HIWORD(Value));
    }
    void AddText(const std::string& Text) {
        const int Length = MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
        std::vector<wchar_t> Wide(Length);
        MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), Wide.data(), Length);
        FWords.insert(FWords.end(), Wide.begin(), Wide.end());
        AddWord(0);
    }

    std::vector<WORD> FWords;  // a vector's storage is aligned for DWORDs, as the template must be
    size_t FCountAt = 0;
};

std::string ItemText(HWND Dialog, int Id) {
    const HWND Item = GetDlgItem(Dialog, Id);
    std::string Text(GetWindowTextLengthA(Item) + 1, '\0');
    Text.resize(GetWindowTextA(Item, Text.data(), static_cast<int>(Text.size())));
    return Text;
}

INT_PTR CALLBACK QueryProc(HWND Dialog, UINT Message, WPARAM W, LPARAM L) noexcept {
    auto* Value = reinterpret_cast<std::string*>(GetWindowLongPtrA(Dialog, DWLP_USER));
    switch (Message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(Dialog, DWLP_USER, L);
            SetDlgItemTextA(Dialog, kEditId, reinterpret_cast<std::string*>(L)->c_str());
            SendDlgItemMessageA(Dialog, kEditId, EM_SETSEL, 0, -1);
            return TRUE;  // the focus goes to the edit field, the first that takes it
        case WM_COMMAND:
            if (LOWORD(W) == IDOK && Value) {
                try {
                    *Value = ItemText(Dialog, kEditId);
                } catch (...) {
                    EndDialog(Dialog, IDCANCEL);  // no memory for the text: as if cancelled
                    return TRUE;
                }
                EndDialog(Dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(W) == IDCANCEL) {
                EndDialog(Dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

bool InputQuery(HWND Owner, const std::string& Caption, const std::string& Prompt, std::string& Value) {
    // Room for a prompt of two lines.
    TDialogTemplate Template(Caption, 220, 72);
    Template.AddItem(kStaticClass, kPromptId, SS_LEFT, Prompt, {7, 7, 206, 20});
    Template.AddItem(kEditClass, kEditId, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, "", {7, 30, 206, 12});
    Template.AddItem(kButtonClass, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, "OK", {107, 51, 50, 14});
    Template.AddItem(kButtonClass, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, "Cancel", {163, 51, 50, 14});
    std::string Typed = Value;
    const INT_PTR Result = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), Template.Get(), Owner, QueryProc,
                                                   reinterpret_cast<LPARAM>(&Typed));
    if (Result == -1 || Result == 0)
        throw Exception("The dialog \"" + Caption + "\" cannot be shown");
    if (Result != IDOK)
        return false;
    Value = Typed;
    return true;
}
