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

void TControl::CreateHandle(HWND Parent, const TControlSpec& Spec, HFONT Font) {
    FId = Spec.Id;
    FFont = Font;
    FText = Spec.Text ? Spec.Text : "";
    FVisible = !(Spec.Options & coHidden);
    RECT R = Bounds(Spec);
    DWORD Style = WS_CHILD | WS_CLIPSIBLINGS | WindowStyle(Spec) | (FVisible ? WS_VISIBLE : 0);
    FHandle =
        CreateWindowExA(0, WindowClass(), FText.c_str(), Style, R.left, R.top, R.right - R.left, R.bottom - R.top,
                        Parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(FId)), GetModuleHandleA(nullptr), nullptr);
    if (!FHandle)
        throw Exception("Cannot create control " + Name() + " (error " + std::to_string(GetLastError()) + ")");
    SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
    // Later rows of the table lie on top of earlier ones, so a label can
    // cover another.
    SetWindowPos(FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Setup(Spec);
}

RECT TControl::Bounds(const TControlSpec& Spec) const {
    return RECT{Spec.Left, Spec.Top, Spec.Left + Spec.Width, Spec.Top + Spec.Height};
}

void TControl::Setup(const TControlSpec& Spec) {
    (void)Spec;
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

// ---- TLabel

DWORD TLabel::WindowStyle(const TControlSpec& Spec) const {
    // Texts are data (a satellite name may hold "&"), never accelerators.
    return SS_NOTIFY | SS_NOPREFIX | ((Spec.Options & coWordWrap) ? SS_LEFT : SS_LEFTNOWORDWRAP);
}

void TLabel::Setup(const TControlSpec& Spec) {
    FColor = Spec.Color;
    FAutoSize = Spec.Width == 0 && Spec.Height == 0;
    FitToText();
}

void TLabel::SetText(const std::string& Value) {
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

DWORD TImage::WindowStyle(const TControlSpec& Spec) const {
    (void)Spec;
    return SS_ICON | SS_NOTIFY;
}

void TImage::Setup(const TControlSpec& Spec) {
    HANDLE Icon = nullptr;
    if (Spec.Text && *Spec.Text)
        Icon = LoadImageA(GetModuleHandleA(nullptr), Spec.Text, IMAGE_ICON, 32, 32, LR_SHARED);
    if (!Icon)  // a build without the resource still shows an icon
        Icon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    SendMessageA(Handle(), STM_SETICON, reinterpret_cast<WPARAM>(Icon), 0);
}

RECT TImage::Bounds(const TControlSpec& Spec) const {
    return RECT{Spec.Left, Spec.Top, Spec.Left + 32, Spec.Top + 32};
}

void TImage::Notify(WORD Code) {
    if (Code == STN_CLICKED && OnClick)
        OnClick();
}

// ---- TBevel

DWORD TBevel::WindowStyle(const TControlSpec& Spec) const {
    (void)Spec;
    return SS_ETCHEDHORZ;
}

RECT TBevel::Bounds(const TControlSpec& Spec) const {
    int Top = Spec.Kind == ckLineBottom ? Spec.Top + Spec.Height - 2 : Spec.Top;
    return RECT{Spec.Left, Top, Spec.Left + Spec.Width, Top + 2};
}

// ---- TButton

DWORD TButton::WindowStyle(const TControlSpec& Spec) const {
    (void)Spec;
    return BS_PUSHBUTTON | WS_TABSTOP;
}

void TButton::Notify(WORD Code) {
    if (Code == BN_CLICKED && OnClick)
        OnClick();
}

// ---- TLatchButton

DWORD TLatchButton::WindowStyle(const TControlSpec& Spec) const {
    (void)Spec;
    // The button flips its own check state before it reports the click.
    return BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP;
}

void TLatchButton::Setup(const TControlSpec& Spec) {
    SetDown(Spec.Options & coDown);
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

DWORD TComboBox::WindowStyle(const TControlSpec& Spec) const {
    (void)Spec;
    return CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
}

RECT TComboBox::Bounds(const TControlSpec& Spec) const {
    // A combo box window's height includes its opened list.
    RECT R = TControl::Bounds(Spec);
    R.bottom += kDropDownRows * (Spec.Height - kComboFrame) + 2;
    return R;
}

void TComboBox::Setup(const TControlSpec& Spec) {
    // The closed box takes the layout's height whatever the font.
    SendMessageA(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), Spec.Height - kComboFrame);
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
    if (Code != CBN_SELCHANGE)
        return;
    FItemIndex = static_cast<int>(SendMessageA(Handle(), CB_GETCURSEL, 0, 0));
    Change();
}

void TComboBox::Change() {
    if (OnChange)
        OnChange();
}
