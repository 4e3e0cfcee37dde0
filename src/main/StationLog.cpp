#include "main/StationLog.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <utility>
#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

namespace {
struct TFileCloser {
    void operator()(std::FILE* File) const { std::fclose(File); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

double SteadyMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string Line(const std::string& Event) {
    return LocalTimeText() + " " + Event + "\n";
}

void MakeFolderOf(const std::string& Path) {
    const size_t End = Path.find_last_of("\\/");
    if (End == std::string::npos || End == 0)
        return;
    const std::string Folder = Path.substr(0, End);
#ifdef _WIN32
    _mkdir(Folder.c_str());
#else
    mkdir(Folder.c_str(), 0777);
#endif
}
}  // namespace

std::string LocalTimeText() {
    return LocalTimeText(std::time(nullptr));
}

std::string LocalTimeText(std::time_t At) {
    std::tm Local{};
#ifdef _WIN32
    localtime_s(&Local, &At);
#else
    localtime_r(&At, &Local);
#endif
    char Text[32];
    std::strftime(Text, sizeof Text, "%Y-%m-%d %H:%M:%S", &Local);
    return Text;
}

TStationLog::TStationLog(std::string Path, std::string RollOverPath, int64_t Limit, TClock Clock)
    : FPath(std::move(Path)),
      FRollOverPath(std::move(RollOverPath)),
      FLimit(Limit),
      FClock(Clock ? std::move(Clock) : SteadyMs) {}

bool TStationLog::Write(const std::string& Event) {
    if (Event == FLastEvent && !Failing()) {
        ++FRepeats;
        return true;
    }
    if (Failing() && FClock() - *FFailedAt < kRetryMs) {
        ++FLost;
        return false;
    }
    std::string Lines;
    if (FRepeats > 0)
        Lines += Line("the line before came " + std::to_string(FRepeats) + " times more");
    if (FLost > 0)
        Lines += Line("the log could not be written: " + std::to_string(FLost) + " events lost");
    Lines += Line(Event);
    FLastEvent = Event;
    FRepeats = 0;
    if (!Append(Lines)) {
        FFailedAt = FClock();
        ++FLost;
        return false;
    }
    FFailedAt.reset();
    FLost = 0;
    return true;
}

bool TStationLog::Append(const std::string& Lines) {
    if (AppendOnce(Lines))
        return true;
    MakeFolderOf(FPath);  // made the first time, or gone since
    return AppendOnce(Lines);
}

bool TStationLog::AppendOnce(const std::string& Lines) {
    TFile File(std::fopen(FPath.c_str(), "ab"));
    if (!File)
        return false;
    std::fseek(File.get(), 0, SEEK_END);
    const long Size = std::ftell(File.get());
    if (Size > 0 && Size + static_cast<int64_t>(Lines.size()) > FLimit) {
        File.reset();
        std::remove(FRollOverPath.c_str());
        if (std::rename(FPath.c_str(), FRollOverPath.c_str()) != 0)
            return false;
        File.reset(std::fopen(FPath.c_str(), "ab"));
        if (!File)
            return false;
    }
    return std::fwrite(Lines.data(), 1, Lines.size(), File.get()) == Lines.size() && std::fflush(File.get()) == 0;
}
