#include "framework/Forms_win.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "support/Messages_win.h"
#include "framework/Application_win.h"

namespace {

enum : int { idTitle = 10, idValue, idCover, idWrap, idIcon, idLine, idLatch, idPush, idList };

const TControlRow kRows[] = {
    {"Title", ckLabel, idTitle, " Data ", 16, 106, 0, 0, coNone, clGreen},
    {"Value", ckLabel, idValue, "Closed", 104, 202, 0, 0, coNone, clBlue},
    {"Cover", ckLabel, idCover, "Transmission error", 104, 202, 0, 0, coHidden, clRed},
    {"Wrap", ckLabel, idWrap, "No data\r\n", 104, 80, 281, 26, coWordWrap},
    {"Icon", ckIcon, idIcon, "", 10, 11, 0, 0},
    {"Line", ckLineBottom, idLine, "", 8, 103, 377, 11},
    {"Latch", ckLatchButton, idLatch, "Open port", 237, 11, 73, 33, coDown},
    {"Push", ckButton, idPush, "Exit", 323, 10, 62, 35},
    {"List", ckComboList, idList, "", 129, 23, 97, 21},
};

class Form : public ::testing::Test {
protected:
    void SetUp() override {
        F = std::make_unique<TForm>(nullptr);
        F->Build(TFormLayout{"Form test", 395, 255, nullptr}, kRows);
    }
    // Where a control lies in the form's client area.
    RECT ClientRectOf(HWND Control) const {
        RECT R;
        GetWindowRect(Control, &R);
        MapWindowPoints(nullptr, F->Handle(), reinterpret_cast<POINT*>(&R), 2);
        return R;
    }
    COLORREF TextColorOf(HWND Control, HBRUSH* Brush = nullptr) const {
        HDC DC = CreateCompatibleDC(nullptr);
        auto Result = SendMessageA(F->Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(DC),
                                   reinterpret_cast<LPARAM>(Control));
        COLORREF Color = GetTextColor(DC);
        DeleteDC(DC);
        if (Brush)
            *Brush = reinterpret_cast<HBRUSH>(Result);
        return Color;
    }
    std::unique_ptr<TForm> F;
    TErrorRecorder Errors;
};

TEST_F(Form, HasTheExactClientSizeAFixedBorderAndIsCentred) {
    RECT Client;
    GetClientRect(F->Handle(), &Client);
    EXPECT_EQ(Client.right, 395);
    EXPECT_EQ(Client.bottom, 255);
    auto Style = GetWindowLongA(F->Handle(), GWL_STYLE);
    EXPECT_FALSE(Style & WS_THICKFRAME);
    EXPECT_FALSE(Style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(Style & WS_MINIMIZEBOX);
    EXPECT_EQ(F->Caption(), "Form test");
    RECT Window;
    GetWindowRect(F->Handle(), &Window);
    EXPECT_NEAR((Window.left + Window.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((Window.top + Window.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
}

TEST_F(Form, ControlsSitWhereTheTableSaysInTheFormsFont) {
    RECT Value = ClientRectOf(F->Find<TLabel>("Value")->Handle());
    EXPECT_EQ(Value.left, 104);
    EXPECT_EQ(Value.top, 202);
    RECT Line = ClientRectOf(F->Find<TBevel>("Line")->Handle());
    EXPECT_EQ(Line.top, 103 + 11 - 2);  // along the bottom edge
    EXPECT_EQ(Line.left, 8);
    RECT List = ClientRectOf(F->Find<TComboBox>("List")->Handle());
    EXPECT_EQ(List.left, 129);
    EXPECT_EQ(List.bottom - List.top, 21);  // the closed box
    RECT Icon = ClientRectOf(F->Find<TImage>("Icon")->Handle());
    EXPECT_EQ(Icon.right - Icon.left, 32);

    HFONT Font = reinterpret_cast<HFONT>(SendMessageA(F->Find<TLabel>("Value")->Handle(), WM_GETFONT, 0, 0));
    ASSERT_EQ(Font, F->Font());
    LOGFONTA Log{};
    GetObjectA(Font, sizeof Log, &Log);
    HDC Screen = GetDC(nullptr);
    EXPECT_EQ(Log.lfHeight, -MulDiv(8, GetDeviceCaps(Screen, LOGPIXELSY), 72));
    ReleaseDC(nullptr, Screen);
    std::cout << "form font face: " << Log.lfFaceName << "\n";
}

TEST_F(Form, LabelsDrawTheirOwnColourOnTheButtonFace) {
    auto* Title = F->Find<TLabel>("Title");
    HBRUSH Brush = nullptr;
    EXPECT_EQ(TextColorOf(Title->Handle(), &Brush), RGB(0, 0x80, 0));
    EXPECT_EQ(Brush, GetSysColorBrush(COLOR_BTNFACE));
    Title->SetColor(clRed);
    EXPECT_EQ(TextColorOf(Title->Handle()), RGB(0xFF, 0, 0));
    EXPECT_EQ(TextColorOf(F->Find<TLabel>("Wrap")->Handle()), GetSysColor(COLOR_WINDOWTEXT));
}

TEST_F(Form, ALabelSizesToItsTextUnlessTheTableFixesItsSize) {
    auto* Value = F->Find<TLabel>("Value");
    RECT Before = ClientRectOf(Value->Handle());
    Value->SetText("Opened and a good deal longer");
    RECT After = ClientRectOf(Value->Handle());
    EXPECT_GT(After.right - After.left, Before.right - Before.left);
    EXPECT_EQ(After.left, 104);

    auto* Wrap = F->Find<TLabel>("Wrap");
    Wrap->SetText("A long tracking line that cannot fit on one line of the label and so wraps");
    RECT Fixed = ClientRectOf(Wrap->Handle());
    EXPECT_EQ(Fixed.right - Fixed.left, 281);
    EXPECT_EQ(Fixed.bottom - Fixed.top, 26);
}

TEST_F(Form, AShownLabelCoversTheOneBeneathIt) {
    auto* Value = F->Find<TLabel>("Value");
    auto* Cover = F->Find<TLabel>("Cover");
    POINT Inside{106, 204};
    EXPECT_FALSE(IsWindowVisible(Cover->Handle()));
    EXPECT_EQ(ChildWindowFromPointEx(F->Handle(), Inside, CWP_SKIPINVISIBLE), Value->Handle());
    Cover->SetVisible(true);
    EXPECT_EQ(ChildWindowFromPointEx(F->Handle(), Inside, CWP_SKIPINVISIBLE), Cover->Handle());
    // A text change underneath must not paint over the cover.
    EXPECT_TRUE(GetWindowLongA(Value->Handle(), GWL_STYLE) & WS_CLIPSIBLINGS);
}

TEST_F(Form, TheComboBoxRaisesOnChangeOnlyForTheUsersPick) {
    auto* List = F->Find<TComboBox>("List");
    int Changes = 0, SeenIndex = -2;
    List->OnChange = [&] {
        ++Changes;
        SeenIndex = List->ItemIndex();
    };
    List->Items().Add("G-500, S-2500");
    List->Items().Add("G-500, S-1000");
    List->SetItemIndex(0);
    List->SetText("g-500, s-1000");  // letter case does not matter
    EXPECT_EQ(List->ItemIndex(), 1);
    List->SetText("not listed");
    EXPECT_EQ(List->Text(), "G-500, S-1000");
    EXPECT_EQ(Changes, 0);
    EXPECT_EQ(SendMessageA(List->Handle(), CB_GETCURSEL, 0, 0), 1);

    // The user moves the selection with the keyboard: the box itself notifies.
    SendMessageA(List->Handle(), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(SeenIndex, 0);
    EXPECT_EQ(List->Text(), "G-500, S-2500");
}

TEST_F(Form, ComboBoxItemsAndSelectionStayInStepWithTheWindow) {
    auto* List = F->Find<TComboBox>("List");
    for (const char* Port : {"COM1", "COM2", "COM3"})
        List->Items().Add(Port);
    List->SetItemIndex(1);
    List->Items().Insert(0, "COM0");
    EXPECT_EQ(List->Text(), "COM2");
    List->Items().Delete(3);
    EXPECT_EQ(List->Text(), "COM2");
    List->Items().Delete(2);
    EXPECT_EQ(List->ItemIndex(), -1);
    EXPECT_EQ(List->Text(), "");
    EXPECT_EQ(SendMessageA(List->Handle(), CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageA(List->Handle(), CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_THROW(List->SetItemIndex(2), Exception);
    List->Items().Clear();
    EXPECT_EQ(SendMessageA(List->Handle(), CB_GETCOUNT, 0, 0), 0);
}

TEST_F(Form, TheLatchingButtonChangesStateBeforeItsClickHandlerRuns) {
    auto* Latch = F->Find<TLatchButton>("Latch");
    EXPECT_TRUE(Latch->Down());
    std::vector<bool> Seen;
    Latch->OnClick = [&] { Seen.push_back(Latch->Down()); };
    SendMessageA(Latch->Handle(), BM_CLICK, 0, 0);
    SendMessageA(Latch->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(Seen, (std::vector<bool>{false, true}));
    Latch->SetDown(false);  // from code: no click
    EXPECT_EQ(Seen.size(), 2u);
    EXPECT_EQ(SendMessageA(Latch->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(Form, ClicksOnLabelsImagesAndButtonsReachTheirHandlers) {
    std::vector<std::string> Clicks;
    F->Find<TLabel>("Value")->OnClick = [&] { Clicks.push_back("label"); };
    F->Find<TImage>("Icon")->OnClick = [&] { Clicks.push_back("icon"); };
    F->Find<TButton>("Push")->OnClick = [&] { Clicks.push_back("button"); };
    for (const char* Name : {"Value", "Icon"}) {
        HWND Control = F->Find<TControl>(Name)->Handle();
        SendMessageA(Control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageA(Control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    }
    SendMessageA(F->Find<TButton>("Push")->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(Clicks, (std::vector<std::string>{"label", "icon", "button"}));
}

TEST_F(Form, AnExceptionInAHandlerGoesToTheErrorDisplay) {
    F->Find<TButton>("Push")->OnClick = [] { throw Exception("port gone"); };
    SendMessageA(F->Find<TButton>("Push")->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(TErrorRecorder::Messages, std::vector<std::string>{"port gone"});
    F->Find<TButton>("Push")->OnClick = [] { throw std::runtime_error("other"); };
    SendMessageA(F->Find<TButton>("Push")->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(TErrorRecorder::Messages.size(), 2u);
}

TEST_F(Form, FindRaisesForAMissingNameOrAnotherKind) {
    EXPECT_THROW(F->Find<TLabel>("Nothing"), Exception);
    EXPECT_THROW(F->Find<TComboBox>("Value"), Exception);
    TForm Twice(nullptr);
    const TControlRow Rows[] = {{"A", ckLabel, 1, "a", 0, 0, 0, 0}, {"A", ckLabel, 2, "b", 0, 20, 0, 0}};
    EXPECT_THROW(Twice.Build(TFormLayout{"Twice", 100, 100, nullptr}, Rows), Exception);
}

TEST_F(Form, CloseAsksOnCloseQueryAndOnlyOnceAtATime) {
    int Queries = 0;
    bool Allow = false;
    F->OnCloseQuery = [&](bool& CanClose) {
        ++Queries;
        F->Close();  // a second close request while the first one waits
        CanClose = Allow;
    };
    F->Close();
    EXPECT_EQ(Queries, 1);
    ASSERT_TRUE(IsWindow(F->Handle()));
    Allow = true;
    auto* Value = F->Find<TLabel>("Value");
    F->Close();
    EXPECT_EQ(Queries, 2);
    EXPECT_EQ(F->Handle(), nullptr);
    EXPECT_EQ(Value->Handle(), nullptr);
    Value->SetText("Closed");  // a late handler after the window is gone
    EXPECT_EQ(Value->Text(), "Closed");
}

TEST_F(Form, RunCreatesShowsActivatesAndReturnsWhenTheWindowCloses) {
    std::vector<std::string> Log;
    F->OnCreate = [&] { Log.push_back(IsWindowVisible(F->Handle()) ? "create visible" : "create"); };
    F->OnActivate = [&] {
        Log.push_back("activate");
        PostMessageA(F->Handle(), WM_CLOSE, 0, 0);
    };
    F->OnCloseQuery = [&](bool&) { Log.push_back("close"); };
    F->Show();
    Application().WaitUntil([&] { return !F->Handle(); });
    EXPECT_EQ(Log, (std::vector<std::string>{"create", "activate", "close"}));
    EXPECT_EQ(F->Handle(), nullptr);
}

TEST_F(Form, TabAndShiftTabMoveThroughTheControlsInTableOrderAndSpacePressesAButton) {
    auto* Latch = F->Find<TLatchButton>("Latch");
    int Clicks = 0;
    Latch->OnClick = [&] { ++Clicks; };
    F->Show();
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == F->Handle(); }));
    // A key as the keyboard delivers it: to the focused window, through the
    // program's own message loop.
    auto Press = [](WORD Key, bool Shift = false) {
        BYTE Keys[256];
        GetKeyboardState(Keys);
        Keys[VK_SHIFT] = Shift ? 0x80 : 0;
        SetKeyboardState(Keys);
        HWND Focus = GetFocus();
        PostMessageA(Focus, WM_KEYDOWN, Key, 1);
        PostMessageA(Focus, WM_KEYUP, Key, 0xC0000001);
        Application().ProcessMessages();
        return GetFocus();
    };
    HWND Push = F->Find<TButton>("Push")->Handle(), List = F->Find<TComboBox>("List")->Handle();
    EXPECT_EQ(Press(VK_TAB), Latch->Handle());
    EXPECT_EQ(Press(VK_TAB), Push);
    EXPECT_EQ(Press(VK_TAB), List);
    EXPECT_EQ(Press(VK_TAB), Latch->Handle());
    EXPECT_EQ(Press(VK_TAB, true), List);
    EXPECT_EQ(Press(VK_TAB, true), Push);
    EXPECT_EQ(Press(VK_TAB, true), Latch->Handle());
    Press(VK_SPACE);
    EXPECT_EQ(Clicks, 1);
    EXPECT_FALSE(Latch->Down());
}

TEST_F(Form, OnActivateRunsAgainWhenActivationReturnsFromAnotherWindowOfTheProgram) {
    int Activations = 0;
    F->OnActivate = [&] { ++Activations; };
    F->Show();
    ASSERT_TRUE(PumpUntil([&] { return Activations == 1; }));
    HWND Other =
        CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    SetActiveWindow(Other);
    PumpFor(100);
    EXPECT_EQ(Activations, 1);
    DestroyWindow(Other);  // like an error dialog closing
    EXPECT_TRUE(PumpUntil([&] { return Activations == 2; }));
    EXPECT_EQ(GetActiveWindow(), F->Handle());
}

}  // namespace
