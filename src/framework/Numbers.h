#pragma once
// Number texts with "." as the decimal separator whatever the process
// locale: the tracking line, the window's values and the wire all use it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Fixed-point text of Value with Digits digits after the point, rounded to
// at most Precision significant digits: rounding goes to whichever comes
// first, the last shown decimal or the last significant digit; the text
// always shows Digits decimals (padded with zeros). A value with more integer
// digits than Precision keeps all of them, rounded to the units. A result
// that rounds to zero shows no sign.
std::string FormatFixed(double Value, int Precision, int Digits);

// The decimal number that the whole text spells: optional leading spaces, an
// optional sign, digits with an optional "." and fraction, an optional
// exponent ("E" or "e", optional sign, digits). Anything else, and a value
// too large for a double, gives no value.
std::optional<double> ParseDecimal(std::string_view Text);

// ParseDecimal's number, a decimal comma read as the point (programs running
// in such a locale send it); finite values only.
std::optional<double> ParseDecimalOrComma(std::string_view Text);

// Text without the Blanks it begins and ends with.
std::string_view Trimmed(std::string_view Text, std::string_view Blanks = " \t");

// ASCII-only case conversion: bytes outside "a".."z" / "A".."Z" stay as they are.
std::string AsciiUpperCase(std::string_view Text);

// The 32-bit integer that the whole text spells: optional leading spaces, an
// optional sign, then decimal digits, or "$" or "0x" and hexadecimal digits
// (at most $FFFFFFFF, taken as the 32-bit pattern, so "$FFFFFFFF" is -1).
// Anything else, and a decimal value outside the 32-bit range, gives no value.
std::optional<int32_t> ParseInteger(std::string_view Text);
