#pragma once
// The log of a station that nobody watches: one line per event, each
// beginning with the local date and time ("2026-12-09 19:40:12 ..."),
// appended to a file. At the size limit the file is renamed to the
// roll-over name (replacing an older one) and a new one begins, so that
// the two never take much more than twice the limit. An event that repeats
// the one before is counted, not written, until another one comes. The file
// is opened for each line only: events are rare. No Windows call here; main
// thread only.
#include <cstdint>
#include <ctime>
#include <string>

class TStationLog {
public:
    static constexpr int64_t kLimit = 1024 * 1024;

    TStationLog(std::string Path, std::string RollOverPath, int64_t Limit = kLimit);

    // Appends the event; false when the file cannot be written (the event
    // is lost then).
    bool Write(const std::string& Event);

private:
    bool Append(const std::string& Line);

    std::string FPath, FRollOverPath;
    int64_t FLimit;
    std::string FLastEvent;
    int FRepeats = 0;  // of FLastEvent, not written yet
};

// "YYYY-MM-DD HH:MM:SS" of the local time now, or at At.
std::string LocalTimeText();
std::string LocalTimeText(std::time_t At);
