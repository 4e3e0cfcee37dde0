// The window driver against a form of this process: the test handles the
// messages that the driver sends while it runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "WinTestSupport.h"
#include "framework/Forms_win.h"
#include "framework/Timers_win.h"

namespace {

const TControlSpec kRows[] = {
    {"Label5", ckLabel, 209, "Azimuth:", 61, 136, 0, 0},
    {"l_az", ckLabel, 108, "?", 104, 136, 0, 0, coNone, clBlue},
    {"Label16", ckLabel, 217, "Port status:", 48, 202, 0, 0},
    {"s_ac", ckLabel, 114, "Closed", 104, 202, 0, 0, coNone, clBlue},
    {"s_te", ckLabel, 115, "Transmission error", 104, 202, 0, 0, coHidden, clRed},
    {"Label11", ckLabel, 218, "Azimuth:", 229, 202, 0, 0},
    {"s_az", ckLabel, 117, "123.4", 272, 202, 0, 0, coNone, clRed},
    {"l_st", ckLabel, 106, "No data\r\n", 104, 80, 281, 26, coWordWrap},
    {"Image1", ckIcon, 100, "", 10, 11, 0, 0},
    {"op", ckLatchButton, 103, "Open port", 237, 11, 73, 33, coDown},
    {"cs", ckComboList, 102, "", 129, 23, 97, 21},
};

struct TRun {
    DWORD Exit = 0;
    std::string Out;
};

class Windriver : public ::testing::Test {
protected:
    void SetUp() override {
        F = std::make_unique<TForm>(nullptr);
        F->Build(TFormSpec{"Driven form", 395, 255, nullptr}, kRows);
        auto* cs = F->Find<TComboBox>("cs");
        cs->Items().Add("G-500, S-2500");
        cs->Items().Add("G-500, S-1000");
        cs->SetItemIndex(0);
        F->Show();
    }

    // Runs the driver with Arguments and handles messages until it ends.
    TRun Drive(const std::string& Arguments) {
        char Dir[MAX_PATH];
        GetTempPathA(sizeof Dir, Dir);
        std::string OutPath = std::string(Dir) + "windriver-test.out";
        SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
        HANDLE Out = CreateFileA(OutPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &Inherit, CREATE_ALWAYS, 0, nullptr);
        EXPECT_NE(Out, INVALID_HANDLE_VALUE);
        STARTUPINFOA Start{};
        Start.cb = sizeof Start;
        Start.dwFlags = STARTF_USESTDHANDLES;
        Start.hStdOutput = Out;
        Start.hStdError = Out;
        std::string Command = std::string("\"") + WINDRIVER_EXE + "\" " + Arguments;
        PROCESS_INFORMATION Process{};
        BOOL Started =
            CreateProcessA(nullptr, Command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &Start, &Process);
        CloseHandle(Out);
        TRun Result;
        EXPECT_TRUE(Started) << Command;
        if (!Started)
            return Result;
        ULONGLONG End = GetTickCount64() + 30000;
        while (WaitForSingleObject(Process.hProcess, 0) == WAIT_TIMEOUT && GetTickCount64() < End) {
            MsgWaitForMultipleObjects(1, &Process.hProcess, FALSE, 100, QS_ALLINPUT);
            MSG Msg;
            while (PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&Msg);
                DispatchMessageA(&Msg);
            }
        }
        if (WaitForSingleObject(Process.hProcess, 0) == WAIT_TIMEOUT) {
            ADD_FAILURE() << "the driver did not end: " << Command;
            TerminateProcess(Process.hProcess, 99);
            WaitForSingleObject(Process.hProcess, 5000);
        }
        GetExitCodeProcess(Process.hProcess, &Result.Exit);
        CloseHandle(Process.hProcess);
        CloseHandle(Process.hThread);
        HANDLE In = CreateFileA(OutPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        char Buffer[8192];
        DWORD Read = 0;
        ReadFile(In, Buffer, sizeof Buffer, &Read, nullptr);
        CloseHandle(In);
        DeleteFileA(OutPath.c_str());
        Result.Out.assign(Buffer, Read);
        return Result;
    }
    TRun Drive(const std::string& Command, const std::string& Rest) {
        return Drive(Command + " --caption \"Driven form\" " + Rest);
    }
    bool Has(const TRun& Run, const std::string& Line) { return Run.Out.find(Line + "\n") != std::string::npos; }

    std::unique_ptr<TForm> F;
};

TEST_F(Windriver, ListsEveryChildWithItsTextVisibilityAndItems) {
    TRun Run = Drive("list", "");
    EXPECT_EQ(Run.Exit, 0u) << Run.Out;
    EXPECT_NE(Run.Out.find("child id=115 class=\"Static\" visible=0 x=104 y=202"), std::string::npos) << Run.Out;
    EXPECT_NE(Run.Out.find("text=\"No data\\r\\n\""), std::string::npos) << Run.Out;
    EXPECT_TRUE(Has(Run, "item id=102 index=1 text=\"G-500, S-1000\"")) << Run.Out;
    EXPECT_EQ(Drive("find", "").Exit, 0u);
}

TEST_F(Windriver, ReadsAChildByIdByNeighbourAndByPosition) {
    EXPECT_TRUE(Has(Drive("text", "--id 117"), "text id=117 visible=1 text=\"123.4\""));
    EXPECT_TRUE(Has(Drive("text", "--right-of Azimuth:"), "text id=108 visible=1 text=\"?\""));
    EXPECT_TRUE(Has(Drive("text", "--right-of Azimuth: --nth 2"), "text id=117 visible=1 text=\"123.4\""));
    EXPECT_TRUE(Has(Drive("text", "--right-of \"Port status:\""), "text id=114 visible=1 text=\"Closed\""));
    F->Find<TLabel>("s_te")->SetVisible(true);  // now covers s_ac
    EXPECT_TRUE(Has(Drive("text", "--right-of \"Port status:\""), "text id=115 visible=1 text=\"Transmission error\""));
    EXPECT_TRUE(Has(Drive("text", "--at 110,205"), "text id=115 visible=1 text=\"Transmission error\""));
    TRun Missing = Drive("text", "--id 999");
    EXPECT_EQ(Missing.Exit, 1u);
    EXPECT_EQ(Missing.Out.rfind("error message=", 0), 0u) << Missing.Out;
}

TEST_F(Windriver, ClicksButtonsAndLabelsAsAUserWould) {
    std::vector<std::string> Log;
    auto* op = F->Find<TLatchButton>("op");
    op->OnClick = [&] { Log.push_back(op->Down() ? "op down" : "op up"); };
    F->Find<TImage>("Image1")->OnClick = [&] { Log.push_back("icon"); };
    EXPECT_EQ(Drive("click", "--text \"Open port\"").Exit, 0u);
    EXPECT_EQ(Drive("click", "--id 100").Exit, 0u);
    EXPECT_EQ(Log, (std::vector<std::string>{"op up", "icon"}));
}

TEST_F(Windriver, PicksAComboItemAsTheUsersPick) {
    auto* cs = F->Find<TComboBox>("cs");
    std::vector<std::string> Changes;
    cs->OnChange = [&] { Changes.push_back(cs->Text()); };
    TRun Run = Drive("pick", "--id 102 --item \"G-500, S-1000\"");
    EXPECT_TRUE(Has(Run, "picked id=102 index=1 text=\"G-500, S-1000\"")) << Run.Out;
    EXPECT_EQ(Changes, std::vector<std::string>{"G-500, S-1000"});
    EXPECT_EQ(Drive("pick", "--id 102 --item \"G-500\"").Exit, 1u);
    EXPECT_EQ(Changes.size(), 1u);
    EXPECT_EQ(cs->ItemIndex(), 1);
}

TEST_F(Windriver, WaitsForATextAndGivesUpAtItsLimit) {
    TTimer Later(nullptr);
    Later.SetInterval(300);
    Later.OnTimer = [&] {
        F->Find<TLabel>("s_ac")->SetText("Opened");
        Later.SetEnabled(false);
    };
    Later.SetEnabled(true);
    TRun Run = Drive("wait", "--id 114 --equals Opened");
    EXPECT_TRUE(Has(Run, "matched id=114 text=\"Opened\"")) << Run.Out;
    TRun Never = Drive("wait", "--id 114 --equals Closed --timeout 300");
    EXPECT_EQ(Never.Exit, 1u);
    EXPECT_NE(Never.Out.find("text=\"Opened\""), std::string::npos) << Never.Out;
}

TEST_F(Windriver, ClosesTheWindowThroughItsCloseQuery) {
    int Queries = 0;
    F->OnCloseQuery = [&](bool&) { ++Queries; };
    TRun Run = Drive("close", "");
    EXPECT_TRUE(Has(Run, "closed")) << Run.Out;
    EXPECT_EQ(Queries, 1);
    EXPECT_EQ(F->Handle(), nullptr);
}

TEST_F(Windriver, RefusesUnknownCommandsAndMissingCaptions) {
    EXPECT_EQ(Drive("jump --caption x").Exit, 2u);
    EXPECT_EQ(Drive("list").Exit, 2u);
    EXPECT_EQ(Drive("list --caption \"No such window\" --timeout 100").Exit, 1u);
}

}  // namespace
