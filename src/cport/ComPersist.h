#pragma once
// Saving and loading a port's settings in an ini file or under a registry
// key. The settings take part by groups; each group stands for a fixed list
// of keys, and the groups are processed in a fixed order: basic, others,
// parity, buffer, timeouts, flow control. Main thread only.
#include <cstdint>
#include <string>

#include "cport/ComPortSettings.h"
#include "cport/ComTypes.h"
#include "framework/IniFiles.h"
#include "framework/Registry.h"

// The ordinal is the group's bit in a stored set.
enum TComSettingGroup : uint8_t { sgBasic, sgFlowControl, sgBuffer, sgTimeouts, sgParity, sgOthers };
using TComSettingGroups = TEnumSet<TComSettingGroup, uint8_t>;

// Writes the keys of the chosen groups, in order, into the section of the
// ini file or under the registry object's current key; "CustomBaudRate"
// only while the baud rate is brCustom. Nothing is deleted. Raises what the
// store raises.
void SaveComSettings(TComPortSettings& Port, TComSettingGroups Groups, TCustomIniFile& IniFile,
                     const std::string& Section);
void SaveComSettings(TComPortSettings& Port, TComSettingGroups Groups, TCustomRegistry& Registry);

// Reads the keys of the chosen groups, in order, and hands each value to the
// port's setter at once. From an ini file a missing key leaves its setting
// as it is (but a missing "CustomBaudRate" is 9600). From the registry a
// missing text reads as empty text, which converts to the setting's
// fallback, and a missing integer raises the registry's error, leaving the
// settings read so far in place. "CustomBaudRate" is read only when the
// loaded baud rate is brCustom; the detailed flow-control keys come after
// the basic "FlowControl" preset and override it. Raises what the store or
// a setter raises.
void LoadComSettings(TComPortSettings& Port, TComSettingGroups Groups, TCustomIniFile& IniFile,
                     const std::string& Section);
void LoadComSettings(TComPortSettings& Port, TComSettingGroups Groups, TCustomRegistry& Registry);
