#pragma once
// What the Windows tests of the port use: the pair of joined ports that
// with-serial-ports.sh provides, the far end driven directly, the modem
// lines of the near end.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>

#include "support/Messages_win.h"

inline std::string EnvironmentValue(const char* Name) {
    const char* Value = std::getenv(Name);
    if (!Value)
        throw std::runtime_error(std::string(Name) + " is not set: run the test through with-serial-ports.sh");
    return Value;
}

// The port under test; its far end is TPeer's.
inline std::string TestPortName() {
    return EnvironmentValue("GYRO_TEST_PORT");
}

// The Windows path of a Unix file: Wine's Z: drive is the Unix root.
inline std::string WindowsPath(std::string UnixPath) {
    for (char& C : UnixPath)
        if (C == '/')
            C = '\\';
    return "Z:" + UnixPath;
}

// Sets the input lines that the port under test reports, for example
// "CTS DCD". The file is replaced whole, so the modem shim never reads a
// half-written one.
inline void SetModemLines(const std::string& Words) {
    const std::string Target = WindowsPath(EnvironmentValue("GYRO_MODEM_LINES"));
    const std::string Temporary = Target + ".new";
    HANDLE File = CreateFileA(Temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (File == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot write " + Temporary);
    DWORD Written = 0;
    WriteFile(File, Words.data(), static_cast<DWORD>(Words.size()), &Written, nullptr);
    CloseHandle(File);
    if (!MoveFileExA(Temporary.c_str(), Target.c_str(), MOVEFILE_REPLACE_EXISTING))
        throw std::runtime_error("cannot replace " + Target);
}

// The far end of the port under test, driven with plain blocking calls.
class TPeer {
public:
    TPeer() {
        const std::string Path = "\\\\.\\" + EnvironmentValue("GYRO_TEST_PEER");
        FHandle = CreateFileA(Path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (FHandle == INVALID_HANDLE_VALUE)
            throw std::runtime_error("cannot open " + Path);
        // A read returns at once with what has arrived.
        COMMTIMEOUTS Timeouts{MAXDWORD, 0, 0, 0, 0};
        SetCommTimeouts(FHandle, &Timeouts);
    }
    ~TPeer() { CloseHandle(FHandle); }
    TPeer(const TPeer&) = delete;
    TPeer& operator=(const TPeer&) = delete;

    void Write(const std::string& Bytes) {
        DWORD Written = 0;
        if (!WriteFile(FHandle, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written, nullptr) ||
            Written != Bytes.size())
            throw std::runtime_error("peer write failed");
    }
    // Up to Count bytes, waiting at most TimeoutMs for them.
    std::string Read(size_t Count, DWORD TimeoutMs = 5000) {
        std::string Bytes;
        const DWORD Start = GetTickCount();
        for (;;) {
            char Buffer[256];
            DWORD Got = 0;
            const DWORD Want = static_cast<DWORD>(std::min(Count - Bytes.size(), sizeof Buffer));
            if (!ReadFile(FHandle, Buffer, Want, &Got, nullptr))
                break;
            Bytes.append(Buffer, Got);
            if (Bytes.size() >= Count || GetTickCount() - Start >= TimeoutMs)
                break;
            if (Got == 0)
                Sleep(10);
        }
        return Bytes;
    }
    // Whatever is waiting, dropped.
    void Drain() {
        while (!Read(4096, 0).empty()) {
        }
    }

private:
    HANDLE FHandle;
};
