// The simulator program itself on a real pseudo-terminal: a STATE frame in,
// the reply out, the exchange in its log, and "quit" through its FIFO.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using std::chrono::steady_clock;

constexpr auto kPatience = std::chrono::seconds(20);

// The simulator as a child process, ended at the end of the test if it has
// not ended itself.
class TSimProcess {
public:
    explicit TSimProcess(const std::vector<std::string>& Args) {
        int Out[2];
        if (pipe(Out) != 0)
            return;
        FPid = fork();
        if (FPid == 0) {
            dup2(Out[1], STDOUT_FILENO);
            close(Out[0]);
            close(Out[1]);
            std::vector<char*> Argv{const_cast<char*>(ROTORSIM_PATH)};
            for (const std::string& Arg : Args)
                Argv.push_back(const_cast<char*>(Arg.c_str()));
            Argv.push_back(nullptr);
            execv(ROTORSIM_PATH, Argv.data());
            _exit(127);
        }
        close(Out[1]);
        FOut = fdopen(Out[0], "r");
    }
    ~TSimProcess() {
        if (FOut)
            std::fclose(FOut);
        if (FPid > 0 && !FEnded) {
            kill(FPid, SIGTERM);
            waitpid(FPid, nullptr, 0);
        }
    }
    std::string FirstLine() {
        char Line[256] = "";
        if (!FOut || !std::fgets(Line, sizeof Line, FOut))
            return "";
        std::string Text = Line;
        if (!Text.empty() && Text.back() == '\n')
            Text.pop_back();
        return Text;
    }
    // The exit status, or -1 when it has not ended within the patience.
    int Wait() {
        for (const auto End = steady_clock::now() + kPatience; steady_clock::now() < End;) {
            int Status = 0;
            if (waitpid(FPid, &Status, WNOHANG) == FPid) {
                FEnded = true;
                return WIFEXITED(Status) ? WEXITSTATUS(Status) : 128;
            }
            usleep(10000);
        }
        return -1;
    }

private:
    pid_t FPid = -1;
    FILE* FOut = nullptr;
    bool FEnded = false;
};

std::string ReadBytes(int Fd, size_t Count) {
    std::string Got;
    for (const auto End = steady_clock::now() + kPatience; Got.size() < Count && steady_clock::now() < End;) {
        pollfd Wait{Fd, POLLIN, 0};
        if (poll(&Wait, 1, 100) <= 0)
            continue;
        char Buffer[64];
        const ssize_t Read = read(Fd, Buffer, sizeof Buffer);
        if (Read > 0)
            Got.append(Buffer, static_cast<size_t>(Read));
    }
    return Got;
}

std::string FileText(const fs::path& Path) {
    std::ifstream File(Path);
    std::stringstream Text;
    Text << File.rdbuf();
    return Text.str();
}

TEST(RotorSimProgram, AnswersStateOnAPseudoTerminalAndQuitsWhenTold) {
    const fs::path Dir = fs::temp_directory_path() / ("rotorsim-test-" + std::to_string(getpid()));
    fs::create_directories(Dir);
    const fs::path Link = Dir / "com7", Control = Dir / "control", Log = Dir / "log";
    TSimProcess Sim(
        {"--link", Link.string(), "--control", Control.string(), "--log", Log.string(), "--position", "123.4", "10.5"});
    const std::string Device = Sim.FirstLine();
    ASSERT_EQ(Device.rfind("/dev/pts/", 0), 0u) << Device;
    EXPECT_EQ(fs::read_symlink(Link).string(), Device);

    const int Port = open(Link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(Port, 0);
    termios Raw{};
    tcgetattr(Port, &Raw);
    cfmakeraw(&Raw);
    tcsetattr(Port, TCSANOW, &Raw);
    const char State[13] = {'W', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x1F, ' '};
    ASSERT_EQ(write(Port, State, sizeof State), 13);
    EXPECT_EQ(ReadBytes(Port, 12), std::string("W\x04\x08\x03\x04\x01\x03\x07\x00\x05\x01 ", 12));
    close(Port);

    std::ofstream(Control) << "quit\n";
    EXPECT_EQ(Sim.Wait(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(Link))) << "the link outlives the simulator";
    const std::string Text = FileText(Log);
    EXPECT_NE(Text.find(" rx STATE 57 00 00 00 00 00 00 00 00 00 00 1F 20\n"), std::string::npos) << Text;
    EXPECT_NE(Text.find(" tx STATE 57 04 08 03 04 01 03 07 00 05 01 20\n"), std::string::npos) << Text;
    fs::remove_all(Dir);
}

}  // namespace
