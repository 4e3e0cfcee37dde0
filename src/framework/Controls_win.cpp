#include "framework/Controls_win.h"

#include "framework/Exceptions.h"

namespace {

// Rows of a drop-down list shown when it opens; the layout gives only the
// height of the closed box.
constexpr int kDropDownRows = 8;
// Frame around the closed box's selection field.
constexpr int kComboFrame = 6;

COLORREF ColorRef(TColor Color) {
    return Color == clWindowText ? GetSysColor(COLOR_WINDOWTEXT) : static_cast<COLORREF>(Color);
}

}  // namespace

// ---- TControl

void TControl::CreateHandle(HWND Parent, const TControlRow& Row, HFONT Font) {
    FId = Row.Id;
    FFont = Font;
    FText = Row.Text ? Row.Text : "";
    FVisible = !(Row.Options & coHidden);
    RECT R = Bounds(Row);
    DWORD Style =
        WS_CHILD | WS_CLIPSIBLINGS | WindowStyle(Row) | (FVisible ? WS_VISIBLE : 0) | (FEnabled ? 0 : WS_DISABLED);
    FHandle =
        CreateWindowExA(0, WindowClass(), FText.c_str(), Style, R.left, R.top, R.right - R.left, R.bottom - R.top,
                        Parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(FId)), GetModuleHandleA(nullptr), nullptr);
    if (!FHandle)
        throw Exception("Cannot create control " + Name() + " (error " + std::to_string(GetLastError()) + ")");
    SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
    // Later rows of the table lie on top of earlier ones, so a label can
    // cover another.
    SetWindowPos(FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Setup(Row);
}

RECT TControl::Bounds(const TControlRow& Row) const {
    return RECT{Row.Left, Row.Top, Row.Left + Row.Width, Row.Top + Row.Height};
}

void TControl::Setup(const TControlRow& Row) {
    (void)Row;
}

void TControl::SetText(const std::string& Value) {
    FText = Value;
    if (FHandle)
        SetWindowTextA(FHandle, FText.c_str());
}

void TControl::SetVisible(bool Value) {
    FVisible = Value;
    if (FHandle)
        ShowWindow(FHandle, Value ? SW_SHOW : SW_HIDE);
}

void TControl::SetEnabled(bool Value) {
    FEnabled = Value;
    if (FHandle)
        EnableWindow(FHandle, Value);
}

// ---- TLabel

DWORD TLabel::WindowStyle(const TControlRow& Row) const {
    // Texts are data (a satellite name may hold "&"), never accelerators.
    return SS_NOTIFY | SS_NOPREFIX | ((Row.Options & coWordWrap) ? SS_LEFT : SS_LEFTNOWORDWRAP);
}

void TLabel::Setup(const TControlRow& Row) {
    FColor = Row.Color;
    FAutoSize = Row.Width == 0 && Row.Height == 0;
    FitToText();
}

void TLabel::SetText(const std::string& Value) {
    // The labels are set at every exchange, mostly to what they show already.
    if (Value == Text())
        return;
    TControl::SetText(Value);
    FitToText();
}

void TLabel::FitToText() {
    if (!FAutoSize || !Handle())
        return;
    HDC DC = GetDC(Handle());
    HGDIOBJ Old = SelectObject(DC, Font());
    RECT R{0, 0, 0, 0};
    // An empty text keeps the height of one line.
    DrawTextA(DC, FText.empty() ? " " : FText.c_str(), -1, &R, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(DC, Old);
    ReleaseDC(Handle(), DC);
    SetWindowPos(Handle(), nullptr, 0, 0, FText.empty() ? 0 : R.right, R.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TLabel::SetColor(TColor Value) {
    FColor = Value;
    if (Handle())
        InvalidateRect(Handle(), nullptr, TRUE);
}

HBRUSH TLabel::ColorStatic(HDC DC) {
    SetTextColor(DC, ColorRef(FColor));
    SetBkMode(DC, TRANSPARENT);
    return GetSysColorBrush(COLOR_BTNFACE);
}

void TLabel::Notify(WORD Code) {
    if (Code == STN_CLICKED && OnClick)
        OnClick();
}

// ---- TImage

DWORD TImage::WindowStyle(const TControlRow& Row) const {
    (void)Row;
    return SS_ICON | SS_NOTIFY;
}

void TImage::Setup(const TControlRow& Row) {
    HANDLE Icon = nullptr;
    if (Row.Text && *Row.Text)
        Icon = LoadImageA(GetModuleHandleA(nullptr), Row.Text, IMAGE_ICON, 32, 32, LR_SHARED);
    if (!Icon)  // a build without the resource still shows an icon
        Icon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    SendMessageA(Handle(), STM_SETICON, reinterpret_cast<WPARAM>(Icon), 0);
}

RECT TImage::Bounds(const TControlRow& Row) const {
    return RECT{Row.Left, Row.Top, Row.Left + 32, Row.Top + 32};
}

void TImage::Notify(WORD Code) {
    if (Code == STN_CLICKED && OnClick)
        OnClick();
}

// ---- TBevel

DWORD TBevel::WindowStyle(const TControlRow& Row) const {
    (void)Row;
    return SS_ETCHEDHORZ;
}

RECT TBevel::Bounds(const TControlRow& Row) const {
    int Top = Row.Kind == ckLineBottom ? Row.Top + Row.Height - 2 : Row.Top;
    return RECT{Row.Left, Top, Row.Left + Row.Width, Top + 2};
}

// ---- TButton

DWORD TButton::WindowStyle(const TControlRow& Row) const {
    (void)Row;
    return BS_PUSHBUTTON | WS_TABSTOP;
}

void TButton::Notify(WORD Code) {
    if (Code == BN_CLICKED && OnClick)
        OnClick();
}

// ---- TLatchButton

DWORD TLatchButton::WindowStyle(const TControlRow& Row) const {
    (void)Row;
    // The button flips its own check state before it reports the click.
    return BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP;
}

void TLatchButton::Setup(const TControlRow& Row) {
    SetDown(Row.Options & coDown);
}

void TLatchButton::SetDown(bool Value) {
    FDown = Value;
    if (Handle())
        SendMessageA(Handle(), BM_SETCHECK, Value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TLatchButton::Notify(WORD Code) {
    if (Code != BN_CLICKED)
        return;
    FDown = SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (OnClick)
        OnClick();
}

// ---- TComboItems

const std::string& TComboItems::Strings(int Index) const {
    CheckIndex(Index, Count());
    return FItems[Index];
}

void TComboItems::Insert(int Index, const std::string& Text) {
    CheckIndex(Index, Count() + 1);
    FItems.insert(FItems.begin() + Index, Text);
    if (FOwner.Handle())
        SendMessageA(FOwner.Handle(), CB_INSERTSTRING, Index, reinterpret_cast<LPARAM>(Text.c_str()));
    int Selected = FOwner.ItemIndex();
    FOwner.ItemsChanged(Selected >= Index ? Selected + 1 : Selected);
}

void TComboItems::Delete(int Index) {
    CheckIndex(Index, Count());
    FItems.erase(FItems.begin() + Index);
    if (FOwner.Handle())
        SendMessageA(FOwner.Handle(), CB_DELETESTRING, Index, 0);
    int Selected = FOwner.ItemIndex();
    FOwner.ItemsChanged(Selected == Index ? -1 : Selected > Index ? Selected - 1 : Selected);
}

void TComboItems::Clear() {
    FItems.clear();
    if (FOwner.Handle())
        SendMessageA(FOwner.Handle(), CB_RESETCONTENT, 0, 0);
    FOwner.ItemsChanged(-1);
}

// ---- TComboBox

DWORD TComboBox::WindowStyle(const TControlRow& Row) const {
    (void)Row;
    return CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
}

RECT TComboBox::Bounds(const TControlRow& Row) const {
    // A combo box window's height includes its opened list.
    RECT R = TControl::Bounds(Row);
    R.bottom += kDropDownRows * (Row.Height - kComboFrame) + 2;
    return R;
}

void TComboBox::Setup(const TControlRow& Row) {
    // The closed box takes the layout's height whatever the font.
    SendMessageA(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), Row.Height - kComboFrame);
    for (int I = 0; I < FItems.Count(); ++I)
        SendMessageA(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FItems.Strings(I).c_str()));
    SendMessageA(Handle(), CB_SETCURSEL, FItemIndex, 0);
}

void TComboBox::SetItemIndex(int Value) {
    if (Value < -1 || Value >= FItems.Count())
        throw Exception("Combo box " + Name() + " has no item " + std::to_string(Value));
    ItemsChanged(Value);
}

void TComboBox::ItemsChanged(int NewItemIndex) {
    FItemIndex = NewItemIndex;
    if (Handle())
        SendMessageA(Handle(), CB_SETCURSEL, FItemIndex, 0);  // raises no notification
}

std::string TComboBox::Text() const {
    return FItemIndex >= 0 ? FItems.Strings(FItemIndex) : std::string();
}

void TComboBox::SetText(const std::string& Value) {
    int Index = FItems.IndexOf(Value);
    if (Index >= 0)
        SetItemIndex(Index);
}

void TComboBox::Notify(WORD Code) {
    if (Code == CBN_DROPDOWN)
        DropDown();
    if (Code != CBN_SELCHANGE)
        return;
    FItemIndex = static_cast<int>(SendMessageA(Handle(), CB_GETCURSEL, 0, 0));
    Change();
}

void TComboBox::Change() {
    if (OnChange)
        OnChange();
}
