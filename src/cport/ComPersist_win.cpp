#include "cport/CPort_win.h"

void TCustomComPort::SaveToRegistry(TCustomRegistry& Registry) {
    SaveComSettings(*this, FSettingGroups, Registry);
}

void TCustomComPort::SaveToIniFile(TCustomIniFile& IniFile) {
    SaveComSettings(*this, FSettingGroups, IniFile, Name());
}

void TCustomComPort::LoadFromRegistry(TCustomRegistry& Registry) {
    LoadComSettings(*this, FSettingGroups, Registry);
}

void TCustomComPort::LoadFromIniFile(TCustomIniFile& IniFile) {
    LoadComSettings(*this, FSettingGroups, IniFile, Name());
}
