#pragma once
// The log of a station that nobody watches: one line per event, each
// beginning with the local date and time ("2026-12-09 19:40:12 ..."),
// appended to a file. At the size limit the file is renamed to the
// roll-over name (replacing an older one) and a new one begins, so that
// the two never take much more than twice the limit. An event that repeats
// the one before is counted, not written, until another one comes. The file
// is opened for each line only: events are rare. A file that cannot be
// written (its folder gone, a disk full) is tried again at the first event
// a minute or more after the failed try, its folder made again if need be;
// the events lost meanwhile are counted in the log once it is back.
// No Windows call here; main thread only.
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

class TStationLog {
public:
    static constexpr int64_t kLimit = 1024 * 1024;
    static constexpr double kRetryMs = 60000;
    // A steady clock in milliseconds, from any origin.
    using TClock = std::function<double()>;

    TStationLog(std::string Path, std::string RollOverPath, int64_t Limit = kLimit, TClock Clock = nullptr);

    // Appends the event; false when it is lost (the file cannot be written,
    // or is not tried again yet).
    bool Write(const std::string& Event);
    // The last try to write failed: events are being lost.
    bool Failing() const { return FFailedAt.has_value(); }

private:
    bool Append(const std::string& Lines);
    bool AppendOnce(const std::string& Lines);

    std::string FPath, FRollOverPath;
    int64_t FLimit;
    TClock FClock;
    std::string FLastEvent;
    int FRepeats = 0;  // of FLastEvent, not written yet
    std::optional<double> FFailedAt;
    int FLost = 0;  // events since the last line written
};

// "YYYY-MM-DD HH:MM:SS" of the local time now, or at At.
std::string LocalTimeText();
std::string LocalTimeText(std::time_t At);
