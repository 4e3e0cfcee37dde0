#pragma once
// The text of a DDE item's value: how the bytes a server sends become the
// item's lines.
#include <cstddef>
#include <string>
#include <vector>

// The value up to its first zero byte, never beyond Size bytes.
std::string ValueText(const unsigned char* Data, size_t Size);

// The lines of a value. A line ends at a carriage return or a line feed;
// after it one carriage return and then one line feed are skipped, so CR LF
// is one break; a break at the very end adds no empty line. Unless
// FormatChars is set, every byte from 1 to 31 first becomes a blank, which
// leaves exactly one line.
std::vector<std::string> ValueLines(const std::string& Value, bool FormatChars);
