// Watches the texts of a window's children from outside and prints every
// change with the time it was seen:
//
//   WindowWatch CAPTION ID[:MS]...
//
// Waits for the top-level window CAPTION, then reads the child with control
// id ID every MS milliseconds (default 1). GetWindowText of another process's
// window reads the text that the window server keeps and sends the program
// no message, so the watched program does no work for the watcher; the
// server does, one request per read. (Wine raises no name-change event when
// a text is set, so there is nothing to listen for instead.) Lines:
//   found US hwnd=0x..          the window appeared
//   text US ID TEXT             a child's text, first seen or changed
//   gone US                     the window is gone (then the watcher ends)
// US is QueryPerformanceCounter in microseconds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
long long NowUs() {
    static const long long Frequency = [] {
        LARGE_INTEGER Value;
        QueryPerformanceFrequency(&Value);
        return Value.QuadPart;
    }();
    LARGE_INTEGER Counter;
    QueryPerformanceCounter(&Counter);
    return Counter.QuadPart / Frequency * 1000000 + Counter.QuadPart % Frequency * 1000000 / Frequency;
}

struct TWatched {
    int Id;
    int EveryMs;
    HWND Child = nullptr;
    std::string Text;
    bool Seen = false;
};

void Look(TWatched& Watch) {
    char Text[512] = "";
    GetWindowTextA(Watch.Child, Text, sizeof Text);
    if (Watch.Seen && Watch.Text == Text)
        return;
    const long long Seen = NowUs();
    Watch.Text = Text;
    Watch.Seen = true;
    std::printf("text %lld %d %s\n", Seen, Watch.Id, Watch.Text.c_str());
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: WindowWatch CAPTION ID[:MS]...\n");
        return 2;
    }
    HWND Window;
    while (!(Window = FindWindowA(nullptr, argv[1])))
        Sleep(1);
    std::printf("found %lld hwnd=%p\n", NowUs(), static_cast<void*>(Window));
    std::fflush(stdout);
    std::vector<TWatched> Watched;
    for (int Arg = 2; Arg < argc; ++Arg) {
        char* Rest = nullptr;
        const int Id = static_cast<int>(std::strtol(argv[Arg], &Rest, 10));
        Watched.push_back({Id, *Rest == ':' ? std::max(1, std::atoi(Rest + 1)) : 1});
    }
    // The children may appear a little after their parent.
    for (TWatched& Watch : Watched)
        while (!(Watch.Child = GetDlgItem(Window, Watch.Id)) && IsWindow(Window))
            Sleep(1);
    for (unsigned Round = 0; IsWindow(Window); ++Round) {
        for (TWatched& Watch : Watched)
            if (Round % Watch.EveryMs == 0)
                Look(Watch);
        Sleep(1);
    }
    std::printf("gone %lld\n", NowUs());
    return 0;
}
