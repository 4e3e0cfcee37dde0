#pragma once
// The Windows registry: a root key, and one current key below it on which
// the value operations act. Every key this object opens is closed when the
// next one is opened, by CloseKey, and on destruction. Main thread only.
#include <windows.h>

#include "framework/Handles_win.h"
#include "framework/Registry.h"

class TRegistry : public TCustomRegistry {
public:
    // Keys are opened with Access (full access unless said otherwise) below
    // the current user's hive.
    explicit TRegistry(REGSAM Access = KEY_ALL_ACCESS) : FAccess(Access) {}

    HKEY RootKey() const { return FRootKey; }
    // Closes the current key.
    void SetRootKey(HKEY Value);
    HKEY CurrentKey() const { return FCurrentKey.Get(); }
    // Path of the current key below the root, without a leading "\".
    const std::string& CurrentPath() const { return FCurrentPath; }

    // Makes Key the current key. A path that begins with "\" starts at the
    // root key; any other starts at the current key, or at the root when
    // none is open. With CanCreate a missing key is created. False, and
    // the current key unchanged, when the key cannot be opened or created.
    [[nodiscard]] bool OpenKey(const std::string& Key, bool CanCreate);
    // OpenKey without creating, for reading only.
    [[nodiscard]] bool OpenKeyReadOnly(const std::string& Key);
    [[nodiscard]] bool KeyExists(const std::string& Key);
    // Deletes Key with everything below it; false when that fails.
    [[nodiscard]] bool DeleteKey(const std::string& Key);
    void CloseKey();

    std::string ReadString(const std::string& Name) override;
    void WriteString(const std::string& Name, const std::string& Value) override;
    int32_t ReadInteger(const std::string& Name) override;
    void WriteInteger(const std::string& Name, int32_t Value) override;
    bool ValueExists(const std::string& Name) override;
    [[nodiscard]] bool DeleteValue(const std::string& Name) override;

private:
    struct TKeyPath {
        HKEY Base;         // not owned: the root or the current key
        std::string Sub;   // below Base
        std::string Full;  // below the root
    };
    TKeyPath Resolve(const std::string& Key) const;
    bool Open(const std::string& Key, REGSAM Access, bool CanCreate);
    HKEY Current(const std::string& Name) const;
    // The value's type and size; false when it is missing. Raises on any
    // other failure.
    bool Query(const std::string& Name, DWORD& Type, DWORD& Size);

    HKEY FRootKey = HKEY_CURRENT_USER;  // predefined, never closed
    TKeyHandle FCurrentKey;
    std::string FCurrentPath;
    REGSAM FAccess;
};
