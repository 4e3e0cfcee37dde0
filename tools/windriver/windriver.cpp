// windriver: drives a running program's window from outside, for the
// end-to-end tests and the demo. It finds a top-level window by its caption,
// lists and reads its child windows, clicks buttons and labels, picks items
// of drop-down lists and closes the window. Every result is one or more
// lines of key=value fields; texts are quoted with C escapes.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char kHelp[] =
    "usage: windriver COMMAND --caption TEXT [SELECTOR] [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  find                   the window:            window hwnd=0x.. pid=N caption=\"..\"\n"
    "  list                   every child window:    child id=N class=\"..\" visible=0|1 x= y= w= h= text=\"..\"\n"
    "                         and a drop-down list's items: item id=N index=N text=\"..\"\n"
    "  text SELECTOR          one child's text:      text id=N visible=0|1 text=\"..\"\n"
    "  click SELECTOR         clicks a button, or a label or image as the mouse would\n"
    "  pick SELECTOR --item T selects item T of a drop-down list and notifies as a user's pick\n"
    "  wait SELECTOR --equals T   waits until the child's text is T\n"
    "  close                  asks the window to close (WM_CLOSE) and waits until it is gone\n"
    "\n"
    "Selectors (client coordinates; texts match whole and exactly):\n"
    "  --id N                 the child with control id N\n"
    "  --text T [--nth K]     the K-th child (reading order, from 1) whose own text is T\n"
    "  --right-of T [--nth K] the nearest visible child to the right of the K-th child with text T\n"
    "  --at X,Y               the topmost visible child at that point\n"
    "\n"
    "Options:\n"
    "  --timeout MS           limit for finding the window, for handlers and for wait (default 10000)\n"
    "\n"
    "Exit status: 0 done, 1 not found or timed out (an error line says why), 2 usage.\n";

struct TOptions {
    std::string Command, Caption, Item, Equals;
    std::optional<std::string> Text, RightOf;
    std::optional<int> Id;
    std::optional<POINT> At;
    int Nth = 1;
    DWORD Timeout = 10000;
};

struct TChild {
    HWND Window;
    int Id;
    std::string Class, Text;
    bool Visible;
    RECT Rect;  // in the parent's client coordinates
};

class EFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string Quote(const std::string& Text) {
    std::string Out = "\"";
    for (unsigned char C : Text) {
        switch (C) {
            case '"':
                Out += "\\\"";
                break;
            case '\\':
                Out += "\\\\";
                break;
            case '\n':
                Out += "\\n";
                break;
            case '\r':
                Out += "\\r";
                break;
            case '\t':
                Out += "\\t";
                break;
            default:
                if (C < 32 || C == 127) {
                    char Hex[5];
                    snprintf(Hex, sizeof Hex, "\\x%02X", C);
                    Out += Hex;
                } else {
                    Out += static_cast<char>(C);
                }
        }
    }
    return Out + "\"";
}

// Sends to the other program, giving up when it does not answer in time.
LRESULT Send(HWND Window, UINT Message, WPARAM W, LPARAM L, DWORD Timeout) {
    DWORD_PTR Result = 0;
    if (!SendMessageTimeoutA(Window, Message, W, L, SMTO_ABORTIFHUNG, Timeout, &Result))
        throw EFailure("the window did not answer message " + std::to_string(Message) + " in time");
    return static_cast<LRESULT>(Result);
}

std::string WindowText(HWND Window, DWORD Timeout) {
    auto Length = Send(Window, WM_GETTEXTLENGTH, 0, 0, Timeout);
    std::string Text(static_cast<size_t>(Length) + 1, '\0');
    auto Copied = Send(Window, WM_GETTEXT, Text.size(), reinterpret_cast<LPARAM>(Text.data()), Timeout);
    Text.resize(static_cast<size_t>(Copied));
    return Text;
}

HWND FindTopLevel(const TOptions& O) {
    ULONGLONG End = GetTickCount64() + O.Timeout;
    for (;;) {
        if (HWND Window = FindWindowA(nullptr, O.Caption.c_str()))
            return Window;
        if (GetTickCount64() >= End)
            throw EFailure("no window with caption " + Quote(O.Caption));
        Sleep(50);  // the program may still be starting
    }
}

// Direct children, topmost first.
std::vector<TChild> Children(HWND Parent, DWORD Timeout) {
    std::vector<TChild> List;
    for (HWND Child = GetWindow(Parent, GW_CHILD); Child; Child = GetWindow(Child, GW_HWNDNEXT)) {
        char Class[64] = "";
        GetClassNameA(Child, Class, sizeof Class);
        RECT R;
        GetWindowRect(Child, &R);
        MapWindowPoints(nullptr, Parent, reinterpret_cast<POINT*>(&R), 2);
        List.push_back(
            TChild{Child, GetDlgCtrlID(Child), Class, WindowText(Child, Timeout), IsWindowVisible(Child) != FALSE, R});
    }
    return List;
}

bool Contains(const RECT& R, POINT P) {
    return P.x >= R.left && P.x < R.right && P.y >= R.top && P.y < R.bottom;
}

// The K-th child with text Text in reading order (top to bottom, left to right).
const TChild* NthWithText(const std::vector<TChild>& List, const std::string& Text, int Nth) {
    std::vector<const TChild*> Found;
    for (const TChild& C : List)
        if (C.Text == Text)
            Found.push_back(&C);
    std::stable_sort(Found.begin(), Found.end(), [](const TChild* A, const TChild* B) {
        return A->Rect.top != B->Rect.top ? A->Rect.top < B->Rect.top : A->Rect.left < B->Rect.left;
    });
    return Nth >= 1 && Nth <= static_cast<int>(Found.size()) ? Found[Nth - 1] : nullptr;
}

// The visible child nearest to the right of Anchor on its line; of two at
// the same place, the topmost (what a user sees).
const TChild* RightOf(const std::vector<TChild>& List, const TChild& Anchor) {
    const TChild* Best = nullptr;
    for (const TChild& C : List) {
        bool SameLine = C.Rect.top <= Anchor.Rect.top + 4 && C.Rect.bottom > Anchor.Rect.top;
        if (&C == &Anchor || !C.Visible || !SameLine || C.Rect.left < Anchor.Rect.right - 2)
            continue;
        if (!Best || C.Rect.left < Best->Rect.left)
            Best = &C;
    }
    return Best;
}

const TChild& Select(const std::vector<TChild>& List, const TOptions& O) {
    const TChild* Found = nullptr;
    std::string What;
    if (O.Id) {
        What = "id " + std::to_string(*O.Id);
        for (const TChild& C : List)
            if (C.Id == *O.Id && !Found)
                Found = &C;
    } else if (O.Text) {
        What = "text " + Quote(*O.Text);
        Found = NthWithText(List, *O.Text, O.Nth);
    } else if (O.RightOf) {
        What = "right of " + Quote(*O.RightOf);
        if (const TChild* Anchor = NthWithText(List, *O.RightOf, O.Nth))
            Found = RightOf(List, *Anchor);
    } else if (O.At) {
        What = "at " + std::to_string(O.At->x) + "," + std::to_string(O.At->y);
        for (const TChild& C : List)
            if (C.Visible && Contains(C.Rect, *O.At) && !Found)
                Found = &C;
    } else {
        throw EFailure("this command needs a selector (--id, --text, --right-of or --at)");
    }
    if (!Found)
        throw EFailure("no child window " + What);
    return *Found;
}

void PrintChild(const TChild& C) {
    printf("child id=%d class=%s visible=%d x=%ld y=%ld w=%ld h=%ld text=%s\n", C.Id, Quote(C.Class).c_str(),
           C.Visible ? 1 : 0, C.Rect.left, C.Rect.top, C.Rect.right - C.Rect.left, C.Rect.bottom - C.Rect.top,
           Quote(C.Text).c_str());
}

std::vector<std::string> ComboItems(HWND Combo, DWORD Timeout) {
    std::vector<std::string> Items;
    auto Count = Send(Combo, CB_GETCOUNT, 0, 0, Timeout);
    for (LRESULT I = 0; I < Count; ++I) {
        auto Length = Send(Combo, CB_GETLBTEXTLEN, I, 0, Timeout);
        std::string Text(static_cast<size_t>(std::max<LRESULT>(Length, 0)) + 1, '\0');
        auto Copied = Send(Combo, CB_GETLBTEXT, I, reinterpret_cast<LPARAM>(Text.data()), Timeout);
        Text.resize(static_cast<size_t>(std::max<LRESULT>(Copied, 0)));
        Items.push_back(Text);
    }
    return Items;
}

bool IsClass(const TChild& C, const char* Class) {
    return lstrcmpiA(C.Class.c_str(), Class) == 0;
}

int List(HWND Window, const TOptions& O) {
    for (const TChild& C : Children(Window, O.Timeout)) {
        PrintChild(C);
        if (IsClass(C, "ComboBox")) {
            auto Items = ComboItems(C.Window, O.Timeout);
            for (size_t I = 0; I < Items.size(); ++I)
                printf("item id=%d index=%zu text=%s\n", C.Id, I, Quote(Items[I]).c_str());
        }
    }
    return 0;
}

int Click(HWND, const TChild& C, const TOptions& O) {
    if (IsClass(C, "Button")) {
        Send(C.Window, BM_CLICK, 0, 0, O.Timeout);
    } else if (IsClass(C, "Static")) {
        // What a mouse click gives: the label reports it when it is clickable.
        Send(C.Window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1), O.Timeout);
        Send(C.Window, WM_LBUTTONUP, 0, MAKELPARAM(1, 1), O.Timeout);
    } else {
        throw EFailure("cannot click a window of class " + Quote(C.Class));
    }
    printf("clicked id=%d class=%s\n", C.Id, Quote(C.Class).c_str());
    return 0;
}

int Pick(HWND Window, const TChild& C, const TOptions& O) {
    if (!IsClass(C, "ComboBox"))
        throw EFailure("child id " + std::to_string(C.Id) + " is no drop-down list");
    auto Items = ComboItems(C.Window, O.Timeout);
    auto It = std::find(Items.begin(), Items.end(), O.Item);
    if (It == Items.end())
        throw EFailure("the list has no item " + Quote(O.Item));
    auto Index = It - Items.begin();
    Send(C.Window, CB_SETCURSEL, Index, 0, O.Timeout);
    // The list's own notice of a user's pick, which a selection from code lacks.
    Send(Window, WM_COMMAND, MAKEWPARAM(C.Id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(C.Window), O.Timeout);
    printf("picked id=%d index=%lld text=%s\n", C.Id, static_cast<long long>(Index), Quote(O.Item).c_str());
    return 0;
}

int Wait(HWND Window, const TOptions& O) {
    ULONGLONG End = GetTickCount64() + O.Timeout;
    for (;;) {
        auto List = Children(Window, O.Timeout);
        const TChild& C = Select(List, O);
        if (C.Text == O.Equals) {
            printf("matched id=%d text=%s\n", C.Id, Quote(C.Text).c_str());
            return 0;
        }
        if (GetTickCount64() >= End) {
            printf("error message=%s id=%d text=%s\n", Quote("timed out waiting for " + Quote(O.Equals)).c_str(), C.Id,
                   Quote(C.Text).c_str());
            return 1;
        }
        Sleep(50);
    }
}

int Close(HWND Window, const TOptions& O) {
    PostMessageA(Window, WM_CLOSE, 0, 0);
    ULONGLONG End = GetTickCount64() + O.Timeout;
    while (IsWindow(Window)) {
        if (GetTickCount64() >= End)
            throw EFailure("the window is still open");
        Sleep(50);
    }
    printf("closed\n");
    return 0;
}

int Run(const TOptions& O) {
    HWND Window = FindTopLevel(O);
    if (O.Command == "find") {
        DWORD Process = 0;
        GetWindowThreadProcessId(Window, &Process);
        printf("window hwnd=0x%llx pid=%lu caption=%s\n",
               static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(Window)), Process, Quote(O.Caption).c_str());
        return 0;
    }
    if (O.Command == "list")
        return List(Window, O);
    if (O.Command == "close")
        return Close(Window, O);
    if (O.Command == "wait")
        return Wait(Window, O);
    auto List = Children(Window, O.Timeout);
    const TChild& C = Select(List, O);
    if (O.Command == "text") {
        printf("text id=%d visible=%d text=%s\n", C.Id, C.Visible ? 1 : 0, Quote(C.Text).c_str());
        return 0;
    }
    if (O.Command == "click")
        return Click(Window, C, O);
    return Pick(Window, C, O);
}

std::optional<TOptions> Parse(int Argc, char** Argv) {
    if (Argc < 2)
        return std::nullopt;
    TOptions O;
    O.Command = Argv[1];
    const std::vector<std::string> Commands{"find", "list", "text", "click", "pick", "wait", "close"};
    if (std::find(Commands.begin(), Commands.end(), O.Command) == Commands.end())
        return std::nullopt;
    bool HasCaption = false;
    for (int I = 2; I < Argc; ++I) {
        std::string Key = Argv[I];
        if (I + 1 >= Argc)
            return std::nullopt;
        std::string Value = Argv[++I];
        if (Key == "--caption") {
            O.Caption = Value;
            HasCaption = true;
        } else if (Key == "--id") {
            O.Id = atoi(Value.c_str());
        } else if (Key == "--text") {
            O.Text = Value;
        } else if (Key == "--right-of") {
            O.RightOf = Value;
        } else if (Key == "--nth") {
            O.Nth = atoi(Value.c_str());
        } else if (Key == "--at") {
            POINT P;
            if (sscanf(Value.c_str(), "%ld,%ld", &P.x, &P.y) != 2)
                return std::nullopt;
            O.At = P;
        } else if (Key == "--item") {
            O.Item = Value;
        } else if (Key == "--equals") {
            O.Equals = Value;
        } else if (Key == "--timeout") {
            O.Timeout = static_cast<DWORD>(strtoul(Value.c_str(), nullptr, 10));
        } else {
            return std::nullopt;
        }
    }
    return HasCaption ? std::optional(O) : std::nullopt;
}

}  // namespace

int main(int Argc, char** Argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);  // lines reach a reading script at once
    if (Argc == 2 && std::string(Argv[1]) == "--help") {
        fputs(kHelp, stdout);
        return 0;
    }
    auto Options = Parse(Argc, Argv);
    if (!Options) {
        fputs(kHelp, stderr);
        return 2;
    }
    try {
        return Run(*Options);
    } catch (const EFailure& E) {
        printf("error message=%s\n", Quote(E.what()).c_str());
        return 1;
    }
}
