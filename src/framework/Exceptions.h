#pragma once
// The general exception class of the component family: every error the
// components raise carries a ready-to-show message.
#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& Message) : std::runtime_error(Message) {}
    std::string Message() const { return what(); }
};
