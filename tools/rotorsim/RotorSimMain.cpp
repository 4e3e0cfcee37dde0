// rotorsim: a rotator controller on a pseudo-terminal, for users without
// the hardware and for tests. See kSimUsage (--help) for the options, the
// control lines and the log.
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "RotorSim.h"
#include "SimListener.h"
#include "SimLogFile.h"

namespace {

double MonotonicMs() {
    timespec Now{};
    clock_gettime(CLOCK_MONOTONIC, &Now);
    return static_cast<double>(Now.tv_sec) * 1000.0 + static_cast<double>(Now.tv_nsec) / 1e6;
}

// Thrown on a failed system call, so that the links and the FIFO we made
// are removed on the way out.
[[noreturn]] void Die(const std::string& What) {
    throw std::runtime_error(What + ": " + std::strerror(errno));
}

class TFd {
public:
    explicit TFd(int Fd = -1) : FFd(Fd) {}
    TFd(TFd&& Other) noexcept : FFd(std::exchange(Other.FFd, -1)) {}
    TFd& operator=(TFd&& Other) noexcept {
        std::swap(FFd, Other.FFd);
        return *this;
    }
    ~TFd() {
        if (FFd >= 0)
            close(FFd);
    }
    int Get() const { return FFd; }

private:
    int FFd;
};

// Removes a path that this program made, when it ends.
class TMadePath {
public:
    TMadePath() = default;
    explicit TMadePath(std::string Path) : FPath(std::move(Path)) {}
    TMadePath(TMadePath&& Other) noexcept : FPath(std::exchange(Other.FPath, {})) {}
    TMadePath& operator=(TMadePath&& Other) noexcept {
        std::swap(FPath, Other.FPath);
        return *this;
    }
    ~TMadePath() {
        if (!FPath.empty())
            unlink(FPath.c_str());
    }

private:
    std::string FPath;
};

const std::pair<speed_t, unsigned> kSpeeds[] = {
    {B50, 50},          {B75, 75},         {B110, 110},         {B134, 134},         {B150, 150},
    {B200, 200},        {B300, 300},       {B600, 600},         {B1200, 1200},       {B1800, 1800},
    {B2400, 2400},      {B4800, 4800},     {B9600, 9600},       {B19200, 19200},     {B38400, 38400},
    {B57600, 57600},    {B115200, 115200}, {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
    {B576000, 576000},  {B921600, 921600}, {B1000000, 1000000}, {B1152000, 1152000}, {B1500000, 1500000},
    {B2000000, 2000000}};

// The speed a terminal is set to, as a number; 0 when it is none of kSpeeds.
unsigned TerminalBaud(int Fd) {
    termios Settings{};
    if (tcgetattr(Fd, &Settings) != 0)
        return 0;
    for (const auto& [Speed, Baud] : kSpeeds)
        if (cfgetospeed(&Settings) == Speed)
            return Baud;
    return 0;
}

void MakeRaw(int Fd, unsigned Baud) {
    termios Settings{};
    if (tcgetattr(Fd, &Settings) != 0)
        Die("tcgetattr");
    cfmakeraw(&Settings);
    speed_t Speed = B600;
    for (const auto& [Known, Number] : kSpeeds)
        if (Number == Baud)
            Speed = Known;
    cfsetispeed(&Settings, Speed);
    cfsetospeed(&Settings, Speed);
    tcsetattr(Fd, TCSANOW, &Settings);
}

// The line: our end of it, and the far end held open while we run so that
// the terminal never hangs up between one user's close and the next open.
// On TCP our end is the client's connection, while there is one.
struct TLine {
    TFd Near;
    TFd HeldFar;
    std::string Path;
    TMadePath Link;
    TFd Listener;
};

TLine OpenPseudoTerminal(const std::string& LinkPath, unsigned Baud) {
    TLine Line;
    Line.Near = TFd(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (Line.Near.Get() < 0 || grantpt(Line.Near.Get()) != 0 || unlockpt(Line.Near.Get()) != 0)
        Die("pseudo-terminal");
    const char* Name = ptsname(Line.Near.Get());
    if (!Name)
        Die("ptsname");
    Line.Path = Name;
    Line.HeldFar = TFd(open(Name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (Line.HeldFar.Get() < 0)
        Die(Line.Path);
    MakeRaw(Line.HeldFar.Get(), Baud);
    if (!LinkPath.empty()) {
        unlink(LinkPath.c_str());
        if (symlink(Name, LinkPath.c_str()) != 0)
            Die("link " + LinkPath);
        Line.Link = TMadePath(LinkPath);
    }
    return Line;
}

TLine OpenDevice(const std::string& Path, unsigned Baud) {
    TLine Line;
    Line.Near = TFd(open(Path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (Line.Near.Get() < 0)
        Die(Path);
    MakeRaw(Line.Near.Get(), Baud);
    Line.Path = Path;
    return Line;
}

TLine ListenOnTcp(const std::string& Address, uint16_t Port) {
    TListening Listening = ListenTcp(Address, Port);
    TLine Line;
    Line.Listener = TFd(Listening.Socket);
    Line.Path = Listening.Where;
    return Line;
}

void DropClient(TLine& Line, TRotorSim& Sim) {
    Line.Near = TFd();
    Sim.LineChanged("disconnected", MonotonicMs());
}

void AcceptClient(TLine& Line, TRotorSim& Sim) {
    sockaddr_storage Peer{};
    socklen_t Length = sizeof Peer;
    TFd Client(accept4(Line.Listener.Get(), reinterpret_cast<sockaddr*>(&Peer), &Length, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (Client.Get() < 0)
        return;  // gone again before we took it
    if (Line.Near.Get() >= 0) {
        Sim.Note("refused " + PeerText(Peer), MonotonicMs());
        return;  // closed at once: the line has its client
    }
    const int NoDelay = 1;
    setsockopt(Client.Get(), IPPROTO_TCP, TCP_NODELAY, &NoDelay, sizeof NoDelay);
    Line.Near = std::move(Client);
    Sim.LineChanged("connected " + PeerText(Peer), MonotonicMs());
}

// The control FIFO, opened for writing as well so that it never reports an
// end of file when a writer closes it.
struct TControl {
    TFd Fd;
    TMadePath Made;
    std::string Pending;
};

TControl OpenControl(const std::string& Path) {
    TControl Control;
    if (Path.empty())
        return Control;
    struct stat Status {};
    if (mkfifo(Path.c_str(), 0600) == 0)
        Control.Made = TMadePath(Path);
    else if (errno != EEXIST)
        Die("mkfifo " + Path);
    else if (stat(Path.c_str(), &Status) != 0 || !S_ISFIFO(Status.st_mode))
        throw std::runtime_error(Path + " exists and is no FIFO");
    Control.Fd = TFd(open(Path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (Control.Fd.Get() < 0)
        Die(Path);
    return Control;
}

// Reads what is there; whole lines go to the simulator.
void ReadControl(TControl& Control, TRotorSim& Sim) {
    char Buffer[1024];
    ssize_t Got;
    while ((Got = read(Control.Fd.Get(), Buffer, sizeof Buffer)) > 0)
        Control.Pending.append(Buffer, static_cast<size_t>(Got));
    for (size_t End; (End = Control.Pending.find('\n')) != std::string::npos;) {
        std::string Line = Control.Pending.substr(0, End);
        Control.Pending.erase(0, End + 1);
        if (!Line.empty() && Line.back() == '\r')
            Line.pop_back();
        if (Line.find_first_not_of(" \t") != std::string::npos)
            Sim.Control(Line, MonotonicMs());
    }
}

// Bytes the far end does not read pile up in the terminal; once it is full
// they are lost, as on a line nobody listens to.
void WriteLine(int Fd, const TBytes& Bytes, TRotorSim& Sim) {
    size_t Done = 0;
    while (Done < Bytes.size()) {
        const ssize_t Put = write(Fd, Bytes.data() + Done, Bytes.size() - Done);
        if (Put > 0)
            Done += static_cast<size_t>(Put);
        else if (Put < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    if (Done < Bytes.size())
        Sim.Note("tx-lost " + std::to_string(Bytes.size() - Done), MonotonicMs());
}

volatile sig_atomic_t StopSignal = 0;
volatile sig_atomic_t ChildSignal = 0;

void OnStop(int) {
    StopSignal = 1;
}
void OnChild(int) {
    ChildSignal = 1;
}

// Signals are blocked except inside ppoll, so none is missed between checks.
sigset_t CatchSignals() {
    struct sigaction Action {};
    Action.sa_handler = OnStop;
    sigaction(SIGINT, &Action, nullptr);
    sigaction(SIGTERM, &Action, nullptr);
    Action.sa_handler = OnChild;
    sigaction(SIGCHLD, &Action, nullptr);
    sigset_t Blocked, Old;
    sigemptyset(&Blocked);
    sigaddset(&Blocked, SIGINT);
    sigaddset(&Blocked, SIGTERM);
    sigaddset(&Blocked, SIGCHLD);
    sigprocmask(SIG_BLOCK, &Blocked, &Old);
    return Old;
}

pid_t StartCommand(const std::vector<std::string>& Command, const sigset_t& Mask) {
    if (Command.empty())
        return -1;
    const pid_t Child = fork();
    if (Child < 0)
        Die("fork");
    if (Child == 0) {
        sigprocmask(SIG_SETMASK, &Mask, nullptr);
        std::vector<char*> Argv;
        for (const std::string& Arg : Command)
            Argv.push_back(const_cast<char*>(Arg.c_str()));
        Argv.push_back(nullptr);
        execvp(Argv[0], Argv.data());
        std::perror(Argv[0]);
        _exit(127);
    }
    return Child;
}

int ExitStatus(int Status) {
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
}

int Run(const TSimOptions& Options) {
    TSimLogFile Log(Options.Log);
    TLine Line = Options.TcpPort          ? ListenOnTcp(Options.Address, *Options.TcpPort)
                 : Options.Device.empty() ? OpenPseudoTerminal(Options.Link, Options.Settings.Baud)
                                          : OpenDevice(Options.Device, Options.Settings.Baud);
    TControl Control = OpenControl(Options.Control);
    std::printf("%s\n", Line.Path.c_str());
    std::fflush(stdout);

    const sigset_t Mask = CatchSignals();
    TRotorSim Sim(
        Options.Settings, [&Log](const std::string& Text) { Log.Put(Text); }, MonotonicMs());
    const pid_t Child = StartCommand(Options.Command, Mask);
    int ChildStatus = 0;
    while (!StopSignal && !Sim.QuitRequested()) {
        if (ChildSignal && Child > 0 && waitpid(Child, &ChildStatus, WNOHANG) == Child)
            return ExitStatus(ChildStatus);
        // A descriptor of -1 (no client, no FIFO, no listener) is left out.
        pollfd Fds[3] = {{Line.Near.Get(), POLLIN, 0}, {Control.Fd.Get(), POLLIN, 0}, {Line.Listener.Get(), POLLIN, 0}};
        const auto Wake = Sim.NextWakeMs();
        const double WaitMs = Wake ? std::max(0.0, *Wake - MonotonicMs()) : 1000.0;
        const timespec Timeout{static_cast<time_t>(WaitMs / 1000), static_cast<long>(std::fmod(WaitMs, 1000.0) * 1e6)};
        const int Ready = ppoll(Fds, 3, &Timeout, &Mask);
        if (Ready < 0 && errno != EINTR)
            Die("poll");
        if (Ready > 0 && (Fds[0].revents & POLLIN)) {
            uint8_t Buffer[4096];
            const ssize_t Got = read(Line.Near.Get(), Buffer, sizeof Buffer);
            // On a pseudo-terminal, the speed that the program at its far end set.
            if (Got > 0 && Line.HeldFar.Get() >= 0)
                Sim.LineSpeed(TerminalBaud(Line.HeldFar.Get()), MonotonicMs());
            if (Got > 0)
                Sim.Receive(std::span<const uint8_t>(Buffer, static_cast<size_t>(Got)), MonotonicMs());
            else if (Line.Listener.Get() >= 0 && (Got == 0 || (errno != EAGAIN && errno != EINTR)))
                DropClient(Line, Sim);
            else if (Got < 0 && errno != EAGAIN && errno != EINTR)
                Die("read " + Line.Path);
        } else if (Ready > 0 && (Fds[0].revents & (POLLHUP | POLLERR))) {
            if (Line.Listener.Get() < 0) {
                errno = EIO;
                Die(Line.Path + " hung up");
            }
            DropClient(Line, Sim);
        }
        if (Ready > 0 && (Fds[2].revents & POLLIN))
            AcceptClient(Line, Sim);
        if (Ready > 0 && (Fds[1].revents & POLLIN))
            ReadControl(Control, Sim);
        WriteLine(Line.Near.Get(), Sim.Poll(MonotonicMs()), Sim);
    }
    if (Child > 0) {
        kill(Child, SIGTERM);
        waitpid(Child, &ChildStatus, 0);
        return Sim.QuitRequested() ? 0 : ExitStatus(ChildStatus);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    TSimOptions Options;
    try {
        Options = ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& Error) {
        std::fprintf(stderr, "rotorsim: %s\n%s", Error.what(), kSimUsage);
        return 2;
    }
    if (Options.Help) {
        std::fputs(kSimUsage, stdout);
        return 0;
    }
    try {
        return Run(Options);
    } catch (const std::runtime_error& Error) {
        std::fprintf(stderr, "rotorsim: %s\n", Error.what());
        return 1;
    }
}
