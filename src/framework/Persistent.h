#pragma once
// Objects that copy their values from another object of their kind: the
// setting objects that a component owns and never replaces.
#include <string>

#include "framework/Exceptions.h"

// The assignment error: "Cannot assign a <source class> to a <target class>".
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

class TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual std::string ClassName() const = 0;
    // Copies Source's values. The base refuses every source with
    // EConvertError; a class overrides it for the sources it accepts.
    virtual void Assign(const TPersistent& Source) { AssignError(Source); }

protected:
    [[noreturn]] void AssignError(const TPersistent& Source) const {
        throw EConvertError("Cannot assign a " + Source.ClassName() + " to a " + ClassName());
    }
};
