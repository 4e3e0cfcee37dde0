#include "framework/Registry_win.h"

#include <cstring>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* What, const std::string& Name, LONG Error) {
    throw ERegistryException(std::string(What) + " '" + Name + "' (error " + std::to_string(Error) + ")");
}

std::string TrimSeparators(std::string Path) {
    while (!Path.empty() && Path.back() == '\\')
        Path.pop_back();
    return Path;
}

}  // namespace

void TRegistry::SetRootKey(HKEY Value) {
    CloseKey();
    FRootKey = Value;
}

TRegistry::TKeyPath TRegistry::Resolve(const std::string& Key) const {
    if (Key.starts_with('\\') || !FCurrentKey) {
        std::string Sub = TrimSeparators(Key.substr(Key.starts_with('\\') ? 1 : 0));
        return {FRootKey, Sub, Sub};
    }
    std::string Sub = TrimSeparators(Key);
    std::string Full = Sub.empty() ? FCurrentPath : FCurrentPath.empty() ? Sub : FCurrentPath + "\\" + Sub;
    return {FCurrentKey.Get(), Sub, Full};
}

bool TRegistry::Open(const std::string& Key, REGSAM Access, bool CanCreate) {
    TKeyPath Path = Resolve(Key);
    HKEY Opened = nullptr;
    LONG Error = CanCreate ? RegCreateKeyExA(Path.Base, Path.Sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, Access,
                                             nullptr, &Opened, nullptr)
                           : RegOpenKeyExA(Path.Base, Path.Sub.c_str(), 0, Access, &Opened);
    if (Error != ERROR_SUCCESS)
        return false;
    FCurrentKey.Reset(Opened);  // closes the previous one
    FCurrentPath = Path.Full;
    return true;
}

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate) {
    return Open(Key, FAccess, CanCreate);
}

bool TRegistry::OpenKeyReadOnly(const std::string& Key) {
    return Open(Key, KEY_READ, false);
}

bool TRegistry::KeyExists(const std::string& Key) {
    TKeyPath Path = Resolve(Key);
    HKEY Opened = nullptr;
    if (RegOpenKeyExA(Path.Base, Path.Sub.c_str(), 0, KEY_READ, &Opened) != ERROR_SUCCESS)
        return false;
    TKeyHandle Close(Opened);
    return true;
}

bool TRegistry::DeleteKey(const std::string& Key) {
    TKeyPath Path = Resolve(Key);
    if (Path.Sub.empty())
        return false;  // never the base key itself
    return RegDeleteTreeA(Path.Base, Path.Sub.c_str()) == ERROR_SUCCESS;
}

void TRegistry::CloseKey() {
    FCurrentKey.Reset();
    FCurrentPath.clear();
}

HKEY TRegistry::Current(const std::string& Name) const {
    if (!FCurrentKey)
        throw ERegistryException("No registry key is open for '" + Name + "'");
    return FCurrentKey.Get();
}

bool TRegistry::Query(const std::string& Name, DWORD& Type, DWORD& Size) {
    LONG Error = RegQueryValueExA(Current(Name), Name.c_str(), nullptr, &Type, nullptr, &Size);
    if (Error == ERROR_FILE_NOT_FOUND)
        return false;
    if (Error != ERROR_SUCCESS)
        Fail("Failed to get data for", Name, Error);
    return true;
}

std::string TRegistry::ReadString(const std::string& Name) {
    DWORD Type = 0, Size = 0;
    if (!Query(Name, Type, Size))
        return "";
    if (Type != REG_SZ && Type != REG_EXPAND_SZ)
        throw ERegistryException("Invalid data type for '" + Name + "': not a string");
    std::vector<char> Data(Size + 1);
    LONG Error =
        RegQueryValueExA(Current(Name), Name.c_str(), nullptr, &Type, reinterpret_cast<BYTE*>(Data.data()), &Size);
    if (Error != ERROR_SUCCESS)  // also when it grew meanwhile: read what is certain or nothing
        Fail("Failed to get data for", Name, Error);
    return std::string(Data.data(), strnlen(Data.data(), Size));
}

void TRegistry::WriteString(const std::string& Name, const std::string& Value) {
    LONG Error = RegSetValueExA(Current(Name), Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                                static_cast<DWORD>(Value.size() + 1));
    if (Error != ERROR_SUCCESS)
        Fail("Failed to set data for", Name, Error);
}

int32_t TRegistry::ReadInteger(const std::string& Name) {
    DWORD Type = 0, Size = 0;
    if (!Query(Name, Type, Size))
        throw ERegistryException("Failed to get data for '" + Name + "': no such value");
    if (Type != REG_DWORD || Size != sizeof(DWORD))
        throw ERegistryException("Invalid data type for '" + Name + "': not a double word");
    DWORD Value = 0;
    LONG Error = RegQueryValueExA(Current(Name), Name.c_str(), nullptr, &Type, reinterpret_cast<BYTE*>(&Value), &Size);
    if (Error != ERROR_SUCCESS)
        Fail("Failed to get data for", Name, Error);
    return static_cast<int32_t>(Value);
}

void TRegistry::WriteInteger(const std::string& Name, int32_t Value) {
    auto Data = static_cast<DWORD>(Value);
    LONG Error =
        RegSetValueExA(Current(Name), Name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Data), sizeof Data);
    if (Error != ERROR_SUCCESS)
        Fail("Failed to set data for", Name, Error);
}

bool TRegistry::ValueExists(const std::string& Name) {
    DWORD Type = 0, Size = 0;
    return RegQueryValueExA(Current(Name), Name.c_str(), nullptr, &Type, nullptr, &Size) == ERROR_SUCCESS;
}

bool TRegistry::DeleteValue(const std::string& Name) {
    return RegDeleteValueA(Current(Name), Name.c_str()) == ERROR_SUCCESS;
}
