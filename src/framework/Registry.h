#pragma once
// Registry access: named values under an open key. TCustomRegistry is the
// interface that settings code uses, so that code stays portable; the
// Windows registry lives in Registry_win.h. Main thread only.
#include <cstdint>
#include <string>

#include "framework/Exceptions.h"

// A value that cannot be read or written, or that holds another type than
// the one asked for. The message names the value.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

class TCustomRegistry {
public:
    virtual ~TCustomRegistry() = default;

    // Every operation acts on the current key; without one it raises
    // ERegistryException.

    // A string (or expandable string, unexpanded) value; a missing value
    // reads as empty text. A value of another type raises.
    virtual std::string ReadString(const std::string& Name) = 0;
    virtual void WriteString(const std::string& Name, const std::string& Value) = 0;
    // A double-word value. A missing value, or one of another type, raises.
    virtual int32_t ReadInteger(const std::string& Name) = 0;
    virtual void WriteInteger(const std::string& Name, int32_t Value) = 0;
    virtual bool ValueExists(const std::string& Name) = 0;
    // False when the value could not be deleted (for example, it is missing).
    [[nodiscard]] virtual bool DeleteValue(const std::string& Name) = 0;
};
