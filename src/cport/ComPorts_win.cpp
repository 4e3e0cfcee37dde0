#include "cport/ComPorts.h"

#include <windows.h>

#include <cstring>

#include "cport/ComError.h"
#include "framework/Handles_win.h"

namespace {

constexpr const char* kSerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr DWORD kNameSize = 256;  // characters
constexpr DWORD kDataSize = 256;  // bytes

bool LessIgnoringCase(const std::string& Left, const std::string& Right) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, Left.c_str(), -1, Right.c_str(), -1) ==
           CSTR_LESS_THAN;
}

}  // namespace

void ListSerialPorts(TStrings& Target) {
    HKEY Opened = nullptr;
    LONG Error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_READ, &Opened);
    // Windows has no such key while no serial device is present (a USB
    // adapter not plugged in yet): that is a machine without ports.
    if (Error == ERROR_FILE_NOT_FOUND) {
        Target.Clear();
        return;
    }
    if (Error != ERROR_SUCCESS)
        throw EComPort(ecRegistry, Error);
    TKeyHandle Key(Opened);

    TStringList Ports;
    for (DWORD Index = 0;; ++Index) {
        char Name[kNameSize];
        BYTE Data[kDataSize];
        DWORD NameSize = kNameSize, DataSize = kDataSize;
        Error = RegEnumValueA(Key.Get(), Index, Name, &NameSize, nullptr, nullptr, Data, &DataSize);
        if (Error == ERROR_NO_MORE_ITEMS)
            break;
        if (Error != ERROR_SUCCESS)
            throw EComPort(ecRegistry, Error);
        // The data need not end in a zero: never read past what was returned.
        const char* Text = reinterpret_cast<const char*>(Data);
        Ports.Add(std::string(Text, strnlen(Text, DataSize)));
    }
    Ports.Sort(LessIgnoringCase);
    Target.Assign(Ports);
}
