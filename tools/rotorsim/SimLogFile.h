#pragma once
// The simulator's log: a file, or standard error. Each line is flushed at
// once: tests read the log while the simulator runs.
#include <cstdio>
#include <stdexcept>
#include <string>

class TSimLogFile {
public:
    // Raises std::runtime_error when the file cannot be written.
    explicit TSimLogFile(const std::string& Path) : FFile(Path.empty() ? stderr : std::fopen(Path.c_str(), "w")) {
        if (!FFile)
            throw std::runtime_error("cannot write the log " + Path);
    }
    ~TSimLogFile() {
        if (FFile != stderr)
            std::fclose(FFile);
    }
    TSimLogFile(const TSimLogFile&) = delete;
    TSimLogFile& operator=(const TSimLogFile&) = delete;

    void Put(const std::string& Line) {
        std::fprintf(FFile, "%s\n", Line.c_str());
        std::fflush(FFile);
    }

private:
    FILE* FFile;
};
