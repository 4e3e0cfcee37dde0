#pragma once
// Answers the modal dialogs that the code under test opens, from inside the
// dialogs' own message loop: a thread timer finds each dialog by its
// caption and answers as a user would. Main thread only.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

class TDialogAnswer {
public:
    // Each text in turn goes into a dialog's edit field, then OK is
    // clicked; once they are used up, Cancel.
    TDialogAnswer(std::string Caption, std::vector<std::string> Typed)
        : FCaption(std::move(Caption)), FTyped(std::move(Typed)) {
        Current = this;
        FTimer = SetTimer(nullptr, 0, 50, Tick);
    }
    ~TDialogAnswer() {
        KillTimer(nullptr, FTimer);
        Current = nullptr;
    }
    TDialogAnswer(const TDialogAnswer&) = delete;
    TDialogAnswer& operator=(const TDialogAnswer&) = delete;

    // Of every dialog answered: its static prompt, and its edit field as shown.
    std::vector<std::string> Prompts, Shown;

private:
    static std::string TextOf(HWND Window) {
        char Text[512] = "";
        GetWindowTextA(Window, Text, sizeof Text);
        return Text;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        TDialogAnswer* Self = Current;
        if (!Self)
            return;
        const HWND Dialog = FindWindowA("#32770", Self->FCaption.c_str());
        if (!Dialog || Dialog == Self->FAnswered) {
            // A dialog under another caption would wait for ever: cancelled
            // after ten seconds, so that the test fails instead of hanging.
            const HWND Other = Dialog ? nullptr : FindWindowA("#32770", nullptr);
            DWORD Process = 0;
            if (Other && GetWindowThreadProcessId(Other, &Process) && Process == GetCurrentProcessId() &&
                ++Self->FMisses > 200)
                PostMessageA(Other, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        Self->FAnswered = Dialog;
        Self->Prompts.push_back(TextOf(FindWindowExA(Dialog, nullptr, "Static", nullptr)));
        const HWND Edit = FindWindowExA(Dialog, nullptr, "Edit", nullptr);
        Self->Shown.push_back(TextOf(Edit));
        const bool Ok = Self->Prompts.size() <= Self->FTyped.size();
        if (Ok)
            SetWindowTextA(Edit, Self->FTyped[Self->Prompts.size() - 1].c_str());
        PostMessageA(Dialog, WM_COMMAND, Ok ? IDOK : IDCANCEL, 0);
    }

    static inline TDialogAnswer* Current = nullptr;
    std::string FCaption;
    std::vector<std::string> FTyped;
    HWND FAnswered = nullptr;  // the dialog answered last: it may still be closing
    int FMisses = 0;
    UINT_PTR FTimer = 0;
};
