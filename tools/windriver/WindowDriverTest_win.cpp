// The window driver against a form of this process: the test handles the
// messages that the driver sends while it runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "support/Messages_win.h"
#include "framework/Forms_win.h"
#include "framework/Handles_win.h"
#include "framework/Timers_win.h"

namespace {

const TControlRow kRows[] = {
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

using TKernelHandle = TUniqueHandle<HANDLE, TKernelHandleTraits>;  // pipes, processes

const DWORD kDriverLimit = 20000;  // far above a run's real length

struct TRun {
    DWORD Exit = 0;
    std::string Out;
};

std::wstring Wide(const std::string& Utf8) {
    int Size = MultiByteToWideChar(CP_UTF8, 0, Utf8.c_str(), -1, nullptr, 0);
    std::wstring Out(static_cast<size_t>(Size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, Utf8.c_str(), -1, Out.data(), Size);
    Out.resize(static_cast<size_t>(Size - 1));
    return Out;
}

// Moves what the pipe holds now into Out, without blocking.
void Drain(HANDLE Pipe, std::string& Out) {
    DWORD Available = 0;
    while (PeekNamedPipe(Pipe, nullptr, 0, nullptr, &Available, nullptr) && Available > 0) {
        char Buffer[4096];
        DWORD Read = 0;
        if (!ReadFile(Pipe, Buffer, std::min<DWORD>(Available, sizeof Buffer), &Read, nullptr))
            return;
        Out.append(Buffer, Read);
    }
}

class Windriver : public ::testing::Test {
protected:
    void SetUp() override {
        F = std::make_unique<TForm>(nullptr);
        F->Build(TFormLayout{"Driven form", 395, 255, nullptr}, kRows);
        auto* cs = F->Find<TComboBox>("cs");
        cs->Items().Add("G-500, S-2500");
        cs->Items().Add("G-500, S-1000");
        cs->SetItemIndex(0);
        F->Show();
    }

    // Runs the driver with Arguments (UTF-8, as a shell passes them) and
    // handles this process's messages until it ends.
    TRun Drive(const std::string& Arguments) {
        HANDLE Read = nullptr, Write = nullptr;
        SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
        TRun Result;
        if (!CreatePipe(&Read, &Write, &Inherit, 65536)) {
            ADD_FAILURE() << "CreatePipe failed: " << GetLastError();
            return Result;
        }
        TKernelHandle Reader(Read), Writer(Write);
        SetHandleInformation(Read, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW Start{};
        Start.cb = sizeof Start;
        Start.dwFlags = STARTF_USESTDHANDLES;
        Start.hStdOutput = Write;
        Start.hStdError = Write;
        std::wstring Command = Wide(std::string("\"") + WINDRIVER_EXE + "\" " + Arguments);
        PROCESS_INFORMATION Process{};
        BOOL Started =
            CreateProcessW(nullptr, Command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &Start, &Process);
        Writer.Reset();  // the pipe breaks when the driver ends
        if (!Started) {
            ADD_FAILURE() << "cannot start " << WINDRIVER_EXE << ": " << GetLastError();
            return Result;
        }
        TKernelHandle ProcessHandle(Process.hProcess), ThreadHandle(Process.hThread);
        // Wakes for this process's messages, for the driver's end, and now
        // and then to empty the pipe.
        ULONGLONG End = GetTickCount64() + kDriverLimit;
        bool Ended = false;
        while (!Ended && GetTickCount64() < End) {
            Ended = MsgWaitForMultipleObjects(1, &Process.hProcess, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0;
            MSG Msg;
            while (PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&Msg);
                DispatchMessageA(&Msg);
            }
            Drain(Read, Result.Out);
        }
        if (!Ended) {
            ADD_FAILURE() << "the driver did not end: " << Arguments;
            TerminateProcess(Process.hProcess, 99);
            WaitForSingleObject(Process.hProcess, 5000);
        }
        Drain(Read, Result.Out);
        GetExitCodeProcess(Process.hProcess, &Result.Exit);
        return Result;
    }
    TRun Drive(const std::string& Command, const std::string& Rest) {
        return Drive(Command + " --caption \"Driven form\" " + Rest);
    }
    static bool Has(const TRun& Run, const std::string& Line) {
        return ("\n" + Run.Out).find("\n" + Line + "\n") != std::string::npos;
    }

    std::unique_ptr<TForm> F;
};

TEST_F(Windriver, ListsEveryChildAndEveryItemInLinesAScriptCanSplit) {
    TRun Run = Drive("list", "");
    EXPECT_EQ(Run.Exit, 0u) << Run.Out;
    EXPECT_NE(Run.Out.find("child id=115 class=\"Static\" visible=0 x=104 y=202 w="), std::string::npos) << Run.Out;
    EXPECT_NE(Run.Out.find(" text=\"No data\\r\\n\"\n"), std::string::npos) << Run.Out;
    EXPECT_EQ(Run.Out.find('\r'), std::string::npos) << "lines end in LF alone";
    EXPECT_TRUE(Has(Run, "item id=102 index=0 text=\"G-500, S-2500\"")) << Run.Out;
    EXPECT_TRUE(Has(Run, "item id=102 index=1 text=\"G-500, S-1000\"")) << Run.Out;
    char Window[64];
    snprintf(Window, sizeof Window, "window hwnd=0x%llX pid=%lu caption=\"Driven form\"",
             static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(F->Handle())), GetCurrentProcessId());
    EXPECT_TRUE(Has(Drive("find", ""), Window));
}

// A test counts the error dialogs that are open: every window of the
// caption, and none is no error.
TEST_F(Windriver, ListsEveryWindowOfACaptionAtOnce) {
    TRun Run = Drive("windows", "");
    EXPECT_EQ(Run.Exit, 0u) << Run.Out;
    EXPECT_EQ(Run.Out, Drive("find", "").Out);
    TRun None = Drive("windows --caption \"No such window\"");
    EXPECT_EQ(None.Exit, 0u) << None.Out;
    EXPECT_EQ(None.Out, "");
}

TEST_F(Windriver, ReadsAChildByIdByNeighbourAndByPosition) {
    EXPECT_TRUE(Has(Drive("text", "--id 117"), "text id=117 visible=1 text=\"123.4\""));
    TRun Run = Drive("text", "--right-of Azimuth:");
    EXPECT_TRUE(Has(Run, "text id=108 visible=1 text=\"?\"")) << Run.Out;
    EXPECT_TRUE(Has(Drive("text", "--right-of Azimuth: --nth 2"), "text id=117 visible=1 text=\"123.4\""));
    EXPECT_TRUE(Has(Drive("text", "--right-of \"Port status:\""), "text id=114 visible=1 text=\"Closed\""));
    F->Find<TLabel>("s_te")->SetVisible(true);  // now covers s_ac
    EXPECT_TRUE(Has(Drive("text", "--right-of \"Port status:\""), "text id=115 visible=1 text=\"Transmission error\""));
    EXPECT_TRUE(Has(Drive("text", "--at 110,205"), "text id=115 visible=1 text=\"Transmission error\""));
    TRun Missing = Drive("text", "--id 999");
    EXPECT_EQ(Missing.Exit, 1u);
    EXPECT_TRUE(Has(Missing, "error message=\"no child window id 999\"")) << Missing.Out;
}

TEST_F(Windriver, TextsTravelAsUtf8WhateverTheCodePage) {
    SetWindowTextW(F->Find<TLabel>("l_az")->Handle(), L"45\u00B0 \"S\u00FCd\"");
    EXPECT_TRUE(Has(Drive("text", "--id 108"),
                    "text id=108 visible=1 text=\"45\xC2\xB0 \\\"S\xC3\xBC"
                    "d\\\"\""));
    EXPECT_EQ(Drive("wait", "--id 108 --contains \xC2\xB0").Exit, 0u);
    EXPECT_EQ(Drive("text",
                    "--text \"45\xC2\xB0 \\\"S\xC3\xBC"
                    "d\\\"\"")
                  .Exit,
              0u);
}

TEST_F(Windriver, ClicksButtonsAndLabelsAsAUserWould) {
    std::vector<std::string> Log;
    auto* op = F->Find<TLatchButton>("op");
    op->OnClick = [&] { Log.push_back(op->Down() ? "op down" : "op up"); };
    F->Find<TImage>("Image1")->OnClick = [&] { Log.push_back("icon"); };
    EXPECT_TRUE(Has(Drive("click", "--text \"Open port\""), "clicked id=103 class=\"Button\""));
    EXPECT_EQ(Drive("click", "--id 100").Exit, 0u);
    EXPECT_EQ(Log, (std::vector<std::string>{"op up", "icon"}));
}

TEST_F(Windriver, AClickWhoseHandlerDoesNotEndInTimeIsAnError) {
    // As a handler that shows a dialog: it handles messages until closed.
    F->Find<TLatchButton>("op")->OnClick = [] { PumpFor(1500); };
    TRun Run = Drive("click", "--id 103 --timeout 300");
    EXPECT_EQ(Run.Exit, 1u);
    EXPECT_NE(Run.Out.find("did not finish handling the click in 300 ms"), std::string::npos) << Run.Out;
}

TEST_F(Windriver, PicksAComboItemAsTheUsersPick) {
    auto* cs = F->Find<TComboBox>("cs");
    std::vector<std::string> Changes;
    cs->OnChange = [&] { Changes.push_back(cs->Text()); };
    TRun Run = Drive("pick", "--id 102 --item \"G-500, S-1000\"");
    EXPECT_TRUE(Has(Run, "picked id=102 index=1 text=\"G-500, S-1000\"")) << Run.Out;
    EXPECT_EQ(Changes, std::vector<std::string>{"G-500, S-1000"});
    EXPECT_EQ(Drive("pick", "--id 102 --item \"G-500\"").Exit, 1u);
    EXPECT_EQ(Drive("pick", "--id 117 --item \"G-500, S-2500\"").Exit, 1u);
    EXPECT_EQ(Changes.size(), 1u);
    EXPECT_EQ(cs->ItemIndex(), 1);
}

TEST_F(Windriver, WaitsForATextThatEqualsOrHoldsAValue) {
    TTimer Later(nullptr);
    Later.SetInterval(300);
    Later.OnTimer = [&] {
        F->Find<TLabel>("s_ac")->SetText("Opened COM5");
        F->Find<TLabel>("s_te")->SetVisible(true);
        Later.SetEnabled(false);
    };
    Later.SetEnabled(true);
    TRun Run = Drive("wait", "--id 114 --equals \"Opened COM5\"");
    EXPECT_TRUE(Has(Run, "matched id=114 text=\"Opened COM5\"")) << Run.Out;
    EXPECT_TRUE(Has(Drive("wait", "--id 114 --contains COM"), "matched id=114 text=\"Opened COM5\""));
    // What the user sees beside the caption changed from one child to another.
    EXPECT_TRUE(Has(Drive("wait", "--right-of \"Port status:\" --contains error"),
                    "matched id=115 text=\"Transmission error\""));
}

TEST_F(Windriver, WaitGivesUpAtItsLimitAndSaysWhatItLastSaw) {
    TRun Never = Drive("wait", "--id 114 --equals Opened --timeout 300");
    EXPECT_EQ(Never.Exit, 1u);
    EXPECT_NE(Never.Out.rfind("error message=\"timed out waiting for text \\\"Opened\\\"", 0), std::string::npos)
        << Never.Out;
    EXPECT_NE(Never.Out.find(" id=114 text=\"Closed\"\n"), std::string::npos) << Never.Out;
    TRun Absent = Drive("wait", "--id 999 --contains x --timeout 200");
    EXPECT_EQ(Absent.Exit, 1u);
    EXPECT_NE(Absent.Out.find("never there"), std::string::npos) << Absent.Out;
}

TEST_F(Windriver, ClosesTheWindowThroughItsCloseQuery) {
    int Queries = 0;
    F->OnCloseQuery = [&](bool&) { ++Queries; };
    TRun Run = Drive("close", "");
    EXPECT_TRUE(Has(Run, "closed")) << Run.Out;
    EXPECT_EQ(Queries, 1);
    EXPECT_EQ(F->Handle(), nullptr);
}

TEST_F(Windriver, RefusesWhatMakesNoCommand) {
    for (const char* Arguments :
         {"jump --caption x", "list", "text --caption x --id 1 --text y", "wait --caption x --id 1",
          "text --caption x --id 1x", "list --caption x --timeout"}) {
        TRun Run = Drive(Arguments);
        EXPECT_EQ(Run.Exit, 2u) << Arguments;
        EXPECT_EQ(Run.Out.rfind("usage: windriver", 0), 0u) << Arguments;
    }
    EXPECT_TRUE(Has(Drive("list --caption \"No such window\" --timeout 100"),
                    "error message=\"no window with caption \\\"No such window\\\"\""));
    TRun Help = Drive("--help");
    EXPECT_EQ(Help.Exit, 0u);
    EXPECT_NE(Help.Out.find("Exit status"), std::string::npos);
}

}  // namespace
