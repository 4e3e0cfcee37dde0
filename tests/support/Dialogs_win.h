#pragma once
// Answers a modal dialog that the code under test opens, from inside the
// dialog's own message loop: a thread timer finds the dialog by its caption
// and answers as a user would. One answer per object; main thread only.
#include <windows.h>

#include <string>
#include <utility>

class TDialogAnswer {
public:
    // Typed (when given) goes into the dialog's edit field, then OK is
    // clicked; without it, Cancel.
    TDialogAnswer(std::string Caption, const char* Typed) : FCaption(std::move(Caption)) {
        FOk = Typed != nullptr;
        if (Typed)
            FTyped = Typed;
        Current = this;
        FTimer = SetTimer(nullptr, 0, 50, Tick);
    }
    ~TDialogAnswer() {
        KillTimer(nullptr, FTimer);
        Current = nullptr;
    }
    TDialogAnswer(const TDialogAnswer&) = delete;
    TDialogAnswer& operator=(const TDialogAnswer&) = delete;

    bool Answered() const { return FAnswered; }
    // The dialog's texts when it was answered: its static prompt and its edit field as shown.
    std::string Prompt, Shown;

private:
    static std::string TextOf(HWND Window) {
        char Text[512] = "";
        GetWindowTextA(Window, Text, sizeof Text);
        return Text;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        TDialogAnswer* Self = Current;
        if (!Self || Self->FAnswered)
            return;
        const HWND Dialog = FindWindowA("#32770", Self->FCaption.c_str());
        if (!Dialog) {
            // A dialog under another caption would wait for ever: cancelled
            // after ten seconds, so that the test fails instead of hanging.
            const HWND Other = FindWindowA("#32770", nullptr);
            DWORD Process = 0;
            if (Other && GetWindowThreadProcessId(Other, &Process) && Process == GetCurrentProcessId() &&
                ++Self->FMisses > 200)
                PostMessageA(Other, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        Self->FAnswered = true;
        Self->Prompt = TextOf(FindWindowExA(Dialog, nullptr, "Static", nullptr));
        const HWND Edit = FindWindowExA(Dialog, nullptr, "Edit", nullptr);
        Self->Shown = TextOf(Edit);
        if (Self->FOk)
            SetWindowTextA(Edit, Self->FTyped.c_str());
        PostMessageA(Dialog, WM_COMMAND, Self->FOk ? IDOK : IDCANCEL, 0);
    }

    static inline TDialogAnswer* Current = nullptr;
    std::string FCaption, FTyped;
    bool FOk = false, FAnswered = false;
    int FMisses = 0;
    UINT_PTR FTimer = 0;
};
