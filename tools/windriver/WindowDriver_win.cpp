// windriver: drives a running program's window from outside, for the
// end-to-end tests and the demo. It finds a top-level window by its caption,
// lists and reads its child windows, clicks buttons and labels, picks items
// of drop-down lists, opens them, waits for a text, closes the window and
// ends the session for it.
//
// It talks to the other program through the wide-character messages only:
// under Wine a narrow CB_GETLBTEXT sent to another process comes back in
// UTF-16 and overruns the buffer. Texts go in and out as UTF-8, whatever the
// program's own code page, so that a script compares them as it wrote them.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char kHelp[] =
    "usage: windriver COMMAND --caption TEXT [SELECTOR] [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  find                    waits for the window, prints its line\n"
    "  windows                 prints the line of every window with the caption now (none: no line)\n"
    "  list                    prints every child window, and a drop-down list's items\n"
    "  text SELECTOR           prints one child's line\n"
    "  click SELECTOR          clicks a button, or a label or image as the mouse would\n"
    "  pick SELECTOR --item T  selects item T of a drop-down list and notifies as a user's pick\n"
    "  type SELECTOR --item T  puts text T into an edit field, as typing over its whole text would\n"
    "  dropdown SELECTOR       opens a drop-down list as a user would, and closes it again\n"
    "                          (click, pick, type and dropdown return once the program has handled them)\n"
    "  wait SELECTOR (--equals T | --contains T)\n"
    "                          waits until the child's text is T, or holds T\n"
    "  watch SELECTOR          prints the child's text at once and each time it changes, until\n"
    "                          --timeout passes (it looks every 20 ms)\n"
    "  close                   asks the window to close (WM_CLOSE) and waits until it is gone\n"
    "  endsession              ends the Windows session for the window as a log-off does:\n"
    "                          WM_QUERYENDSESSION, then WM_ENDSESSION with its answer; returns once\n"
    "                          the program has handled both\n"
    "  syscommand --id N       picks item N of the system menu (WM_SYSCOMMAND), as a user would\n"
    "  resume                  tells the window that the system resumed from standby\n"
    "                          (WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC)\n"
    "\n"
    "Selectors (client coordinates of the window; texts match whole and exactly):\n"
    "  --id N                  the child with control id N\n"
    "  --text T [--nth K]      the K-th child (reading order, from 1) whose own text is T\n"
    "  --right-of T [--nth K]  the nearest visible child on the line of the K-th child with text T,\n"
    "                          starting right of that child's middle\n"
    "  --at X,Y                the topmost visible child at that point\n"
    "\n"
    "Options:\n"
    "  --pid N                 of the windows with the caption, the one of process N (as find\n"
    "                          and windows print it): for two copies of a program\n"
    "  --timeout MS            how long to wait for the window, for the text (wait), for the\n"
    "                          window's end (close) and for each answer of the program\n"
    "                          (default 10000)\n"
    "\n"
    "Output on stdout, one record a line, each line ending in LF alone:\n"
    "  find   window hwnd=0x1A2B pid=N caption=\"..\"\n"
    "  list   child id=N class=\"..\" visible=0|1 x=N y=N w=N h=N text=\"..\"\n"
    "         item id=N index=N text=\"..\"   (a drop-down list's items, after its child line)\n"
    "  text   text id=N visible=0|1 text=\"..\"\n"
    "  click  clicked id=N class=\"..\"\n"
    "  pick   picked id=N index=N text=\"..\"\n"
    "  type   typed id=N text=\"..\"\n"
    "  dropdown dropped id=N\n"
    "  wait   matched id=N text=\"..\"\n"
    "  watch  seen US id=N text=\"..\"   (US: the performance counter in microseconds, one clock\n"
    "                                  for every process of the machine)\n"
    "  close  closed\n"
    "  endsession ended query=0|1   (the window's answer to WM_QUERYENDSESSION)\n"
    "  syscommand  picked id=N\n"
    "  resume resumed\n"
    "  any    error message=\"..\"   (exit status 1; a wait that timed out adds id=N text=\"..\",\n"
    "                               the child's last text)\n"
    "The first word names the record, then come key=value fields, one space apart.\n"
    "Numbers stand bare. Texts are UTF-8 in double quotes, with \\\" \\\\ \\n \\r \\t, and \\xHH\n"
    "for other control characters. The text field, where there is one, comes last:\n"
    "  windriver text --caption C --id 108 | sed -n 's/^text .* text=\"\\(.*\\)\"$/\\1/p'\n"
    "prints the text itself.\n"
    "\n"
    "Exit status: 0 done, 1 not found or timed out (an error line says why), 2 usage\n"
    "(this text on stderr).\n";

struct TOptions {
    std::string Command, Caption, Item;
    std::optional<std::string> Text, RightOf, Equals, Contains;
    std::optional<int> Id;
    std::optional<DWORD> Pid;
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

// The end of waiting for the window, a text or the window's end.
class TDeadline {
public:
    explicit TDeadline(DWORD Limit) : FEnd(GetTickCount64() + Limit) {}
    bool Passed() const { return GetTickCount64() >= FEnd; }

private:
    ULONGLONG FEnd;
};

std::string ToUtf8(const wchar_t* Text, int Length) {
    int Size = WideCharToMultiByte(CP_UTF8, 0, Text, Length, nullptr, 0, nullptr, nullptr);
    std::string Out(static_cast<size_t>(std::max(Size, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Text, Length, Out.data(), Size, nullptr, nullptr);
    return Out;
}

std::wstring FromUtf8(const std::string& Text) {
    int Size = MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
    std::wstring Out(static_cast<size_t>(std::max(Size, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Out.data(), Size);
    return Out;
}

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
LRESULT Send(HWND Window, UINT Message, WPARAM W, LPARAM L, DWORD Limit) {
    DWORD_PTR Result = 0;
    if (!SendMessageTimeoutW(Window, Message, W, L, SMTO_ABORTIFHUNG, Limit, &Result))
        throw EFailure("the window did not answer message " + std::to_string(Message) + " in time");
    return static_cast<LRESULT>(Result);
}

// Sends what a user does and returns once the program has handled it, so
// that what a script reads next is what the user would see next. A handler
// that opens a dialog only ends when the dialog is closed.
void Act(HWND Window, UINT Message, WPARAM W, LPARAM L, DWORD Limit, const char* What) {
    DWORD_PTR Result = 0;
    if (!SendMessageTimeoutW(Window, Message, W, L, SMTO_ABORTIFHUNG, Limit, &Result))
        throw EFailure(std::string("the program did not finish handling the ") + What + " in " + std::to_string(Limit) +
                       " ms (a dialog of it may be open)");
}

std::string WindowText(HWND Window, DWORD Answer) {
    auto Length = std::max<LRESULT>(Send(Window, WM_GETTEXTLENGTH, 0, 0, Answer), 0);
    std::wstring Text(static_cast<size_t>(Length) + 1, L'\0');
    auto Copied = Send(Window, WM_GETTEXT, Text.size(), reinterpret_cast<LPARAM>(Text.data()), Answer);
    return ToUtf8(Text.data(), static_cast<int>(std::clamp<LRESULT>(Copied, 0, Length)));
}

std::string ClassName(HWND Window) {
    wchar_t Class[64] = L"";
    int Length = GetClassNameW(Window, Class, 64);
    return ToUtf8(Class, Length);
}

// Every top-level window with the caption (of the process, when one is named).
std::vector<HWND> WindowsWithCaption(const TOptions& O) {
    struct TSearch {
        std::wstring Caption;
        std::optional<DWORD> Pid;
        std::vector<HWND> Found;
    } Search{FromUtf8(O.Caption), O.Pid, {}};
    EnumWindows(
        [](HWND Window, LPARAM Param) -> BOOL {
            auto& S = *reinterpret_cast<TSearch*>(Param);
            wchar_t Caption[256] = L"";
            GetWindowTextW(Window, Caption, 256);
            DWORD Process = 0;
            GetWindowThreadProcessId(Window, &Process);
            if (S.Caption == Caption && (!S.Pid || *S.Pid == Process))
                S.Found.push_back(Window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&Search));
    return Search.Found;
}

// The window with the caption (of the process, when one is named), or null.
// Without a process, FindWindow: enumerating every window while a program
// starts was seen to stall Wine for a minute and more.
HWND WindowWithCaption(const TOptions& O) {
    if (!O.Pid)
        return FindWindowW(nullptr, FromUtf8(O.Caption).c_str());
    auto Found = WindowsWithCaption(O);
    return Found.empty() ? nullptr : Found.front();
}

HWND FindTopLevel(const TOptions& O, const TDeadline& Limit) {
    for (;;) {
        if (HWND Window = WindowWithCaption(O))
            return Window;
        if (Limit.Passed())
            throw EFailure("no window with caption " + Quote(O.Caption));
        Sleep(50);  // the program may still be starting
    }
}

// Direct children, topmost first.
std::vector<TChild> Children(HWND Parent, DWORD Answer) {
    std::vector<TChild> List;
    for (HWND Child = GetWindow(Parent, GW_CHILD); Child; Child = GetWindow(Child, GW_HWNDNEXT)) {
        RECT R;
        GetWindowRect(Child, &R);
        MapWindowPoints(nullptr, Parent, reinterpret_cast<POINT*>(&R), 2);
        List.push_back(TChild{Child, GetDlgCtrlID(Child), ClassName(Child), WindowText(Child, Answer),
                              IsWindowVisible(Child) != FALSE, R});
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
// the same place, the topmost (what a user sees). A caption's box may reach
// into the value beside it, so "right of" means starting beyond its middle.
const TChild* RightOf(const std::vector<TChild>& List, const TChild& Anchor) {
    const TChild* Best = nullptr;
    LONG Middle = (Anchor.Rect.left + Anchor.Rect.right) / 2;
    for (const TChild& C : List) {
        bool SameLine = C.Rect.top <= Anchor.Rect.top + 4 && C.Rect.bottom > Anchor.Rect.top;
        if (&C == &Anchor || !C.Visible || !SameLine || C.Rect.left <= Middle)
            continue;
        if (!Best || C.Rect.left < Best->Rect.left)
            Best = &C;
    }
    return Best;
}

std::string SelectorText(const TOptions& O) {
    if (O.Id)
        return "id " + std::to_string(*O.Id);
    if (O.Text)
        return "text " + Quote(*O.Text);
    if (O.RightOf)
        return "right of " + Quote(*O.RightOf);
    return "at " + std::to_string(O.At->x) + "," + std::to_string(O.At->y);
}

// The selected child, or null when there is none (yet).
const TChild* Select(const std::vector<TChild>& List, const TOptions& O) {
    if (O.Text)
        return NthWithText(List, *O.Text, O.Nth);
    if (O.RightOf) {
        const TChild* Anchor = NthWithText(List, *O.RightOf, O.Nth);
        return Anchor ? RightOf(List, *Anchor) : nullptr;
    }
    for (const TChild& C : List)
        if (O.Id ? C.Id == *O.Id : C.Visible && Contains(C.Rect, *O.At))
            return &C;
    return nullptr;
}

const TChild& SelectOrFail(const std::vector<TChild>& List, const TOptions& O) {
    if (const TChild* C = Select(List, O))
        return *C;
    throw EFailure("no child window " + SelectorText(O));
}

std::vector<std::string> ComboItems(HWND Combo, DWORD Answer) {
    std::vector<std::string> Items;
    auto Count = Send(Combo, CB_GETCOUNT, 0, 0, Answer);
    for (LRESULT I = 0; I < Count; ++I) {
        auto Length = std::max<LRESULT>(Send(Combo, CB_GETLBTEXTLEN, I, 0, Answer), 0);
        std::wstring Text(static_cast<size_t>(Length) + 1, L'\0');
        auto Copied = Send(Combo, CB_GETLBTEXT, I, reinterpret_cast<LPARAM>(Text.data()), Answer);
        Items.push_back(ToUtf8(Text.data(), static_cast<int>(std::clamp<LRESULT>(Copied, 0, Length))));
    }
    return Items;
}

bool IsClass(const TChild& C, const char* Class) {
    return lstrcmpiA(C.Class.c_str(), Class) == 0;
}

int Find(HWND Window, const TOptions& O) {
    DWORD Process = 0;
    GetWindowThreadProcessId(Window, &Process);
    printf("window hwnd=0x%llX pid=%lu caption=%s\n",
           static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(Window)), Process, Quote(O.Caption).c_str());
    return 0;
}

// Every top-level window with the caption at this moment, one line each:
// none is no error (a test counts the error dialogs that are open).
int Windows(const TOptions& O) {
    for (HWND Window : WindowsWithCaption(O))
        Find(Window, O);
    return 0;
}

int List(HWND Window, DWORD Answer) {
    for (const TChild& C : Children(Window, Answer)) {
        printf("child id=%d class=%s visible=%d x=%ld y=%ld w=%ld h=%ld text=%s\n", C.Id, Quote(C.Class).c_str(),
               C.Visible ? 1 : 0, C.Rect.left, C.Rect.top, C.Rect.right - C.Rect.left, C.Rect.bottom - C.Rect.top,
               Quote(C.Text).c_str());
        if (IsClass(C, "ComboBox")) {
            auto Items = ComboItems(C.Window, Answer);
            for (size_t I = 0; I < Items.size(); ++I)
                printf("item id=%d index=%u text=%s\n", C.Id, static_cast<unsigned>(I), Quote(Items[I]).c_str());
        }
    }
    return 0;
}

int Click(const TChild& C, DWORD Answer) {
    if (IsClass(C, "Button")) {
        Act(C.Window, BM_CLICK, 0, 0, Answer, "click");
    } else if (IsClass(C, "Static")) {
        // What a mouse click gives: the label reports it when it is clickable.
        Act(C.Window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1), Answer, "click");
        Act(C.Window, WM_LBUTTONUP, 0, MAKELPARAM(1, 1), Answer, "click");
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
    Act(Window, WM_COMMAND, MAKEWPARAM(C.Id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(C.Window), O.Timeout, "pick");
    printf("picked id=%d index=%d text=%s\n", C.Id, static_cast<int>(Index), Quote(O.Item).c_str());
    return 0;
}

int DropDown(const TChild& C, DWORD Answer) {
    if (!IsClass(C, "ComboBox"))
        throw EFailure("child id " + std::to_string(C.Id) + " is no drop-down list");
    Act(C.Window, CB_SHOWDROPDOWN, TRUE, 0, Answer, "opening of the list");
    Act(C.Window, CB_SHOWDROPDOWN, FALSE, 0, Answer, "closing of the list");
    printf("dropped id=%d\n", C.Id);
    return 0;
}

bool Matches(const std::string& Text, const TOptions& O) {
    return O.Equals ? Text == *O.Equals : Text.find(*O.Contains) != std::string::npos;
}

// Polls: the program may still be starting, the child may not be there yet.
int Wait(const TOptions& O, const TDeadline& Limit) {
    std::optional<TChild> Last;
    for (;;) {
        if (HWND Window = WindowWithCaption(O)) {
            auto List = Children(Window, O.Timeout);
            if (const TChild* C = Select(List, O)) {
                Last = *C;
                if (Matches(C->Text, O)) {
                    printf("matched id=%d text=%s\n", C->Id, Quote(C->Text).c_str());
                    return 0;
                }
            }
        }
        if (Limit.Passed())
            break;
        Sleep(50);
    }
    std::string Wanted = O.Equals ? "text " + Quote(*O.Equals) : "a text holding " + Quote(*O.Contains);
    std::string Message = "timed out waiting for " + Wanted + " in child window " + SelectorText(O);
    if (Last)
        printf("error message=%s id=%d text=%s\n", Quote(Message).c_str(), Last->Id, Quote(Last->Text).c_str());
    else
        printf("error message=%s\n", Quote(Message + ", which was never there").c_str());
    return 1;
}

long long Microseconds() {
    LARGE_INTEGER Counter, Frequency;
    QueryPerformanceCounter(&Counter);
    QueryPerformanceFrequency(&Frequency);
    return static_cast<long long>(static_cast<long double>(Counter.QuadPart) * 1e6L / Frequency.QuadPart);
}

// Polls the one child: a script learns every text that stood for more than
// a look's interval, and when it came.
int Watch(HWND Window, const TChild& C, const TDeadline& Limit, DWORD Answer) {
    std::optional<std::string> Last;
    while (!Limit.Passed()) {
        if (!IsWindow(Window))
            throw EFailure("the window went away");
        std::string Text = WindowText(C.Window, Answer);
        if (Text != Last) {
            printf("seen %lld id=%d text=%s\n", Microseconds(), C.Id, Quote(Text).c_str());
            Last = std::move(Text);
        }
        Sleep(20);
    }
    return 0;
}

int Close(HWND Window, const TDeadline& Limit) {
    PostMessageW(Window, WM_CLOSE, 0, 0);
    while (IsWindow(Window)) {
        if (Limit.Passed())
            throw EFailure("the window is still open");
        Sleep(50);
    }
    printf("closed\n");
    return 0;
}

int EndSession(HWND Window, DWORD Answer) {
    bool Agreed = Send(Window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, Answer) != 0;
    Act(Window, WM_ENDSESSION, Agreed, ENDSESSION_LOGOFF, Answer, "end of the session");
    printf("ended query=%d\n", Agreed ? 1 : 0);
    return 0;
}

int Run(const TOptions& O) {
    TDeadline Limit(O.Timeout);
    if (O.Command == "wait")
        return Wait(O, Limit);
    if (O.Command == "windows")
        return Windows(O);
    HWND Window = FindTopLevel(O, Limit);
    if (O.Command == "find")
        return Find(Window, O);
    if (O.Command == "list")
        return List(Window, O.Timeout);
    if (O.Command == "close")
        return Close(Window, Limit);
    if (O.Command == "endsession")
        return EndSession(Window, O.Timeout);
    if (O.Command == "syscommand") {
        Act(Window, WM_SYSCOMMAND, static_cast<WPARAM>(*O.Id), 0, O.Timeout, "syscommand");
        printf("picked id=%d\n", *O.Id);
        return 0;
    }
    if (O.Command == "resume") {
        Act(Window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, O.Timeout, "resume");
        printf("resumed\n");
        return 0;
    }
    auto List = Children(Window, O.Timeout);
    const TChild& C = SelectOrFail(List, O);
    if (O.Command == "text") {
        printf("text id=%d visible=%d text=%s\n", C.Id, C.Visible ? 1 : 0, Quote(C.Text).c_str());
        return 0;
    }
    if (O.Command == "click")
        return Click(C, O.Timeout);
    if (O.Command == "dropdown")
        return DropDown(C, O.Timeout);
    if (O.Command == "type") {
        const std::wstring Text = FromUtf8(O.Item);
        Act(C.Window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Text.c_str()), O.Timeout, "typing");
        printf("typed id=%d text=%s\n", C.Id, Quote(O.Item).c_str());
        return 0;
    }
    if (O.Command == "watch")
        return Watch(Window, C, Limit, O.Timeout);
    return Pick(Window, C, O);
}

std::optional<long> ParseNumber(const std::string& Text) {
    char* End = nullptr;
    long Value = strtol(Text.c_str(), &End, 10);
    if (Text.empty() || *End != '\0')
        return std::nullopt;
    return Value;
}

// Null when the arguments make no valid command.
std::optional<TOptions> Parse(const std::vector<std::string>& Args) {
    if (Args.empty())
        return std::nullopt;
    TOptions O;
    O.Command = Args[0];
    const std::vector<std::string> Commands{"find", "windows", "list",       "text",       "click",  "pick", "dropdown",
                                            "wait", "close",   "endsession", "syscommand", "resume", "type", "watch"};
    if (std::find(Commands.begin(), Commands.end(), O.Command) == Commands.end())
        return std::nullopt;
    bool HasCaption = false;
    int Selectors = 0;
    for (size_t I = 1; I < Args.size(); I += 2) {
        const std::string& Key = Args[I];
        if (I + 1 >= Args.size())
            return std::nullopt;
        const std::string& Value = Args[I + 1];
        if (Key == "--caption") {
            O.Caption = Value;
            HasCaption = true;
        } else if (Key == "--id") {
            auto N = ParseNumber(Value);
            if (!N)
                return std::nullopt;
            O.Id = static_cast<int>(*N);
            ++Selectors;
        } else if (Key == "--pid") {
            auto N = ParseNumber(Value);
            if (!N || *N < 0)
                return std::nullopt;
            O.Pid = static_cast<DWORD>(*N);
        } else if (Key == "--text") {
            O.Text = Value;
            ++Selectors;
        } else if (Key == "--right-of") {
            O.RightOf = Value;
            ++Selectors;
        } else if (Key == "--at") {
            POINT P;
            char Rest;
            if (sscanf(Value.c_str(), "%ld,%ld%c", &P.x, &P.y, &Rest) != 2)
                return std::nullopt;
            O.At = P;
            ++Selectors;
        } else if (Key == "--nth") {
            auto N = ParseNumber(Value);
            if (!N || *N < 1)
                return std::nullopt;
            O.Nth = static_cast<int>(*N);
        } else if (Key == "--item") {
            O.Item = Value;
        } else if (Key == "--equals") {
            O.Equals = Value;
        } else if (Key == "--contains") {
            O.Contains = Value;
        } else if (Key == "--timeout") {
            auto N = ParseNumber(Value);
            if (!N || *N < 0)
                return std::nullopt;
            O.Timeout = static_cast<DWORD>(*N);
        } else {
            return std::nullopt;
        }
    }
    bool NeedsSelector = O.Command == "text" || O.Command == "click" || O.Command == "pick" ||
                         O.Command == "dropdown" || O.Command == "wait" || O.Command == "type" || O.Command == "watch";
    if (O.Command == "syscommand")
        return HasCaption && Selectors == 1 && O.Id ? std::optional(O) : std::nullopt;
    if (!HasCaption || Selectors > 1 || NeedsSelector != (Selectors == 1))
        return std::nullopt;
    if (O.Command == "wait" && O.Equals.has_value() == O.Contains.has_value())
        return std::nullopt;
    return O;
}

}  // namespace

int wmain(int Argc, wchar_t** Argv) {
    // A crash ends the tool at once instead of waiting on a debugger, and
    // lines reach a reading script unchanged (LF, no CR) and at once (the
    // C runtime here has no line buffering).
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    _setmode(_fileno(stdout), _O_BINARY);
    setvbuf(stdout, nullptr, _IONBF, 0);
    std::vector<std::string> Args;
    for (int I = 1; I < Argc; ++I)
        Args.push_back(ToUtf8(Argv[I], static_cast<int>(wcslen(Argv[I]))));
    if (Args.size() == 1 && Args[0] == "--help") {
        fputs(kHelp, stdout);
        return 0;
    }
    auto Options = Parse(Args);
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
