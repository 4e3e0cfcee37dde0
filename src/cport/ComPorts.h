#pragma once
// The serial ports that the machine has.
#include "framework/Strings.h"

// Replaces Target's texts with the port names listed under the local
// machine's HARDWARE\DEVICEMAP\SERIALCOMM, sorted ignoring letter case in
// the user's locale order (COM10 before COM2); a missing key lists none.
// Raises EComPort code 23 with the system error when the key cannot be
// opened for another reason or a value cannot be read; Target is then
// unchanged. Defined for Windows (ComPorts_win.cpp).
void ListSerialPorts(TStrings& Target);
