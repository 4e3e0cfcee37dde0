#pragma once
// A small modal dialog that asks for one line of text. Main thread only.
#include <windows.h>

#include <string>

// Shows Caption, Prompt above an edit field that holds Value, and "OK" and
// "Cancel"; the window Owner is disabled while it is open. True and Value
// replaced by the text typed on OK; false and Value unchanged on Cancel
// (also the close box and Escape). Text is 8-bit in the ANSI code page.
// Raises Exception when the dialog cannot be made.
bool InputQuery(HWND Owner, const std::string& Caption, const std::string& Prompt, std::string& Value);
