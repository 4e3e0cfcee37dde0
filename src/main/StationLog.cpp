#include "main/StationLog.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <utility>

namespace {
struct TFileCloser {
    void operator()(std::FILE* File) const { std::fclose(File); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;
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

TStationLog::TStationLog(std::string Path, std::string RollOverPath, int64_t Limit)
    : FPath(std::move(Path)), FRollOverPath(std::move(RollOverPath)), FLimit(Limit) {}

bool TStationLog::Write(const std::string& Event) {
    if (Event == FLastEvent) {
        ++FRepeats;
        return true;
    }
    bool Written = true;
    if (FRepeats > 0)
        Written = Append("the line before came " + std::to_string(FRepeats) + " times more");
    FLastEvent = Event;
    FRepeats = 0;
    return Append(Event) && Written;
}

bool TStationLog::Append(const std::string& Event) {
    const std::string Line = LocalTimeText() + " " + Event + "\n";
    TFile File(std::fopen(FPath.c_str(), "ab"));
    if (!File)
        return false;
    std::fseek(File.get(), 0, SEEK_END);
    const long Size = std::ftell(File.get());
    if (Size > 0 && Size + static_cast<int64_t>(Line.size()) > FLimit) {
        File.reset();
        std::remove(FRollOverPath.c_str());
        if (std::rename(FPath.c_str(), FRollOverPath.c_str()) != 0)
            return false;
        File.reset(std::fopen(FPath.c_str(), "ab"));
        if (!File)
            return false;
    }
    return std::fwrite(Line.data(), 1, Line.size(), File.get()) == Line.size() && std::fflush(File.get()) == 0;
}
