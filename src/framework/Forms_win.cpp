#include "framework/Forms_win.h"

#include <algorithm>

#include "framework/Application_win.h"
#include "framework/Numbers.h"
#include "framework/WindowIds.h"

namespace {

constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr int kFontPoints = 8;

void RegisterFormClass(WNDPROC Procedure) {
    static bool Registered = false;
    if (Registered)
        return;
    WNDCLASSEXA Class{};
    Class.cbSize = sizeof Class;
    Class.style = CS_DBLCLKS;
    Class.lpfnWndProc = Procedure;
    Class.hInstance = GetModuleHandleA(nullptr);
    Class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    Class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    Class.lpszClassName = kFormClass;
    if (!RegisterClassExA(&Class))
        throw Exception("Cannot register the form window class (error " + std::to_string(GetLastError()) + ")");
    Registered = true;
}

std::string FaceOf(HFONT Font) {
    HDC DC = GetDC(nullptr);
    HGDIOBJ Old = SelectObject(DC, Font);
    char Face[LF_FACESIZE] = "";
    GetTextFaceA(DC, sizeof Face, Face);
    SelectObject(DC, Old);
    ReleaseDC(nullptr, DC);
    return Face;
}

// "MS Sans Serif" 8 pt. Where that face is missing (Wine ships it only in
// some builds) take its successors rather than whatever the mapper picks.
TFontHandle CreateFormFont() {
    HDC DC = GetDC(nullptr);
    int Height = -MulDiv(kFontPoints, GetDeviceCaps(DC, LOGPIXELSY), 72);
    ReleaseDC(nullptr, DC);
    TFontHandle Font;
    for (const char* Face : {"MS Sans Serif", "Microsoft Sans Serif", "Tahoma"}) {
        Font.Reset(CreateFontA(Height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, Face));
        if (Font && AsciiUpperCase(FaceOf(Font.Get())) == AsciiUpperCase(Face))
            return Font;
    }
    return Font;  // the last one, as the mapper made it
}

bool BelongsToOtherProcess(HWND Window) {
    DWORD Process = 0;
    return IsWindow(Window) && GetWindowThreadProcessId(Window, &Process) && Process != GetCurrentProcessId();
}

}  // namespace

TForm::TForm(TComponent* AOwner) : TComponent(AOwner) {}

TForm::~TForm() {
    FHandle.Reset();
}

void TForm::Build(const TFormLayout& Layout, std::span<const TControlRow> Rows) {
    RegisterFormClass(&TForm::WindowProc);
    FFont = CreateFormFont();
    RECT R{0, 0, Layout.ClientWidth, Layout.ClientHeight};
    AdjustWindowRectEx(&R, kFormStyle, FALSE, 0);
    int Width = R.right - R.left, Height = R.bottom - R.top;
    int Left = (GetSystemMetrics(SM_CXSCREEN) - Width) / 2, Top = (GetSystemMetrics(SM_CYSCREEN) - Height) / 2;
    HWND Window = CreateWindowExA(0, kFormClass, Layout.Caption, kFormStyle, Left, Top, Width, Height, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), this);
    if (!Window)
        throw Exception("Cannot create the window (error " + std::to_string(GetLastError()) + ")");
    FHandle.Reset(Window);
    SendMessageA(Window, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), FALSE);
    if (Layout.IconName) {
        HINSTANCE Instance = GetModuleHandleA(nullptr);
        for (auto [Size, Metric] : {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
            int Pixels = GetSystemMetrics(Metric);
            if (HANDLE Icon = LoadImageA(Instance, Layout.IconName, IMAGE_ICON, Pixels, Pixels, LR_SHARED))
                SendMessageA(Window, WM_SETICON, Size, reinterpret_cast<LPARAM>(Icon));
        }
    }
    for (const TControlRow& Row : Rows) {
        if (FindControl(Row.Name))
            throw Exception(std::string("Two controls are named ") + Row.Name);
        TControl* Control = MakeControl(Row);
        Control->SetName(Row.Name);
        FControls.push_back(Control);
        Control->CreateHandle(Window, Row, FFont.Get());
    }
    // Tab follows the stacking order, in which later rows lie on top: the
    // controls that take the focus go above the rest, in table order, so
    // that Tab visits them in reading order. A layout must not let them
    // overlap another row.
    for (auto It = FControls.rbegin(); It != FControls.rend(); ++It)
        if (GetWindowLongA((*It)->Handle(), GWL_STYLE) & WS_TABSTOP)
            SetWindowPos((*It)->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

TControl* TForm::MakeControl(const TControlRow& Row) {
    if (Row.Make)
        return Row.Make(this);
    switch (Row.Kind) {
        case ckLabel:
            return new TLabel(this);
        case ckIcon:
            return new TImage(this);
        case ckLineTop:
        case ckLineBottom:
            return new TBevel(this);
        case ckButton:
            return new TButton(this);
        case ckLatchButton:
            return new TLatchButton(this);
        case ckComboList:
            return new TComboBox(this);
    }
    throw Exception(std::string("Unknown kind of control ") + Row.Name);
}

std::string TForm::Caption() const {
    char Text[256] = "";
    if (FHandle)
        GetWindowTextA(FHandle.Get(), Text, sizeof Text);
    return Text;
}

TControl* TForm::FindControl(const std::string& Name) const {
    auto It = std::find_if(FControls.begin(), FControls.end(), [&](TControl* C) { return C->Name() == Name; });
    return It == FControls.end() ? nullptr : *It;
}

TControl* TForm::ControlOf(HWND Window) const {
    auto It = std::find_if(FControls.begin(), FControls.end(), [&](TControl* C) { return C->Handle() == Window; });
    return It == FControls.end() ? nullptr : *It;
}

void TForm::Show() {
    if (!FCreated) {
        FCreated = true;
        if (OnCreate)
            Guarded(OnCreate);
    }
    if (!FHandle)
        return;
    ShowWindow(FHandle.Get(), SW_SHOW);
    SetForegroundWindow(FHandle.Get());
    UpdateWindow(FHandle.Get());
}

void TForm::Close() {
    if (FHandle)
        SendMessageA(FHandle.Get(), WM_CLOSE, 0, 0);
}

LRESULT CALLBACK TForm::WindowProc(HWND Window, UINT Message, WPARAM W, LPARAM L) noexcept {
    if (Message == WM_NCCREATE)
        SetWindowLongPtrA(Window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(L)->lpCreateParams));
    auto* Form = reinterpret_cast<TForm*>(GetWindowLongPtrA(Window, GWLP_USERDATA));
    if (!Form)  // messages before WM_NCCREATE
        return DefWindowProcA(Window, Message, W, L);
    if (Message == WM_NCDESTROY) {
        SetWindowLongPtrA(Window, GWLP_USERDATA, 0);
        for (TControl* Control : Form->FControls)
            Control->HandleDestroyed();
        Form->FHandle.Release();  // already gone
        return DefWindowProcA(Window, Message, W, L);
    }
    return Guarded([&] { return Form->HandleMessage(Window, Message, W, L); });
}

LRESULT TForm::HandleMessage(HWND Window, UINT Message, WPARAM W, LPARAM L) {
    switch (Message) {
        case WM_COMMAND:
            if (TControl* Control = ControlOf(reinterpret_cast<HWND>(L))) {
                Control->Notify(HIWORD(W));
                return 0;
            }
            break;
        case WM_CTLCOLORSTATIC:
            if (TControl* Control = ControlOf(reinterpret_cast<HWND>(L)))
                if (HBRUSH Brush = Control->ColorStatic(reinterpret_cast<HDC>(W)))
                    return reinterpret_cast<LRESULT>(Brush);
            break;
        case WM_ACTIVATE: {
            LRESULT Result = DefWindowProcA(Window, Message, W, L);  // focus first, as a user expects
            if (LOWORD(W) != WA_INACTIVE)
                Activated(reinterpret_cast<HWND>(L));
            return Result;
        }
        case WM_CLOSE:
            CloseQuery();
            return 0;
        case WM_ENDSESSION:
            // The process may be ended as soon as this returns: what the
            // close box does (settings kept, peers told) must happen now.
            if (W)
                CloseQuery();
            return 0;
        case WM_POWERBROADCAST:
            if (OnPowerBroadcast)
                OnPowerBroadcast(static_cast<unsigned>(W));
            return TRUE;
        case WM_SYSCOMMAND:
            if (OnSysCommand && OnSysCommand(static_cast<unsigned>(W & 0xFFF0)))
                return 0;
            break;
    }
    return DefWindowProcA(Window, Message, W, L);
}

void TForm::Activated(HWND Previous) {
    // Activation from another program names its window or none at all;
    // from one of ours (an error dialog closing) it names that window,
    // which may already be on its way out.
    if (FEverActive && (!Previous || BelongsToOtherProcess(Previous)))
        return;
    FEverActive = true;
    if (OnActivate)
        OnActivate();
}

void TForm::CloseQuery() {
    if (FClosing)
        return;
    bool CanClose = true;
    {
        FClosing = true;
        struct TReset {
            bool& Flag;
            ~TReset() { Flag = false; }
        } Reset{FClosing};
        if (OnCloseQuery)
            OnCloseQuery(CanClose);
    }
    if (CanClose)
        FHandle.Reset();
}
