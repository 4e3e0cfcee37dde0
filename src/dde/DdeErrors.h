#pragma once
// The tracking link's exception and the texts of DDE error codes.
#include <string>

#include "framework/Exceptions.h"

// Raised only when the DDE instance cannot be initialised.
class EDdeError : public Exception {
public:
    using Exception::Exception;
};

// The message for a DDE error code, with the code in upper-case hexadecimal.
std::string DdeErrorMessage(unsigned Code);
