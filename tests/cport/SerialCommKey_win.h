#pragma once
// The machine's port list, HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, set up for a
// test and put back afterwards as it was. The key is volatile (it lives as
// long as the wineserver), so it is recreated volatile. Tests that use this
// hold the CTest resource lock SerialComm.
#include <windows.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "framework/Handles_win.h"

class TSerialCommKey {
public:
    static constexpr const char* kPath = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
    struct TValue {
        std::string Name;
        DWORD Type;
        std::string Data;  // as stored, terminating zero included for strings
    };

    TSerialCommKey() : FExisted(Read(FSaved)) {}
    ~TSerialCommKey() {
        Remove();
        if (FExisted)
            Write(FSaved);
    }
    TSerialCommKey(const TSerialCommKey&) = delete;
    TSerialCommKey& operator=(const TSerialCommKey&) = delete;

    // The key holding just these port names, as the system writes them.
    void SetPorts(const std::vector<std::string>& Ports) {
        std::vector<TValue> Values;
        for (size_t I = 0; I < Ports.size(); ++I)
            Values.push_back({"\\Device\\Serial" + std::to_string(I), REG_SZ, Ports[I] + '\0'});
        SetValues(Values);
    }
    void SetValues(const std::vector<TValue>& Values) {
        Remove();
        Write(Values);
    }
    void Remove() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kPath); }

private:
    static bool Read(std::vector<TValue>& Values) {
        HKEY Opened = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPath, 0, KEY_READ, &Opened) != ERROR_SUCCESS)
            return false;
        TKeyHandle Key(Opened);
        for (DWORD Index = 0;; ++Index) {
            char Name[16384];
            BYTE Data[4096];
            DWORD NameSize = sizeof Name, DataSize = sizeof Data, Type = 0;
            if (RegEnumValueA(Key.Get(), Index, Name, &NameSize, nullptr, &Type, Data, &DataSize) != ERROR_SUCCESS)
                return true;
            Values.push_back({Name, Type, std::string(reinterpret_cast<char*>(Data), DataSize)});
        }
    }
    static void Write(const std::vector<TValue>& Values) {
        HKEY Created = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPath, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                            &Created, nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot create the SERIALCOMM key");
        TKeyHandle Key(Created);
        for (const TValue& Value : Values)
            if (RegSetValueExA(Key.Get(), Value.Name.c_str(), 0, Value.Type,
                               reinterpret_cast<const BYTE*>(Value.Data.data()),
                               static_cast<DWORD>(Value.Data.size())) != ERROR_SUCCESS)
                throw std::runtime_error("cannot write the SERIALCOMM value " + Value.Name);
    }

    std::vector<TValue> FSaved;
    bool FExisted;
};
