// The main window left alone: errors go to a log instead of dialogs, a lost
// port and a tracking program gone are tried again until they are back, and
// a second copy on the same port hands over to the running one.
#include <windows.h>

#include <cctype>

#include "cport/CPort_win.h"
#include "cport/ComComboBox_win.h"
#include "dde/DdeClientConv_win.h"
#include "framework/Application_win.h"
#include "framework/Numbers.h"
#include "framework/WindowIds.h"
#include "main/MainLayout_win.h"
#include "main/Main_win.h"

namespace {

// The main window of another process's copy: its caption may carry a note
// ("(no log)") after the program's own.
HWND OtherCopy() {
    HWND Found = nullptr;
    EnumWindows(
        [](HWND Window, LPARAM Param) -> BOOL {
            char Class[sizeof kFormClass + 1] = "", Text[256] = "";
            DWORD Process = 0;
            GetClassNameA(Window, Class, sizeof Class);
            GetWindowTextA(Window, Text, sizeof Text);
            GetWindowThreadProcessId(Window, &Process);
            const bool Ours = std::string_view(Text).starts_with(kMainForm.Caption);
            if (lstrcmpA(Class, kFormClass) == 0 && Ours && Process != GetCurrentProcessId())
                *reinterpret_cast<HWND*>(Param) = Window;
            return !*reinterpret_cast<HWND*>(Param);
        },
        reinterpret_cast<LPARAM>(&Found));
    return Found;
}

// Held by the copy that drives the rotor on Port (a COM port or an
// address), whatever state the port is in (open, lost, not there yet), for
// as long as it wants that port.
std::string StationName(const std::string& Port) {
    std::string Name = "Gyrotalk station ";  // no backslash: that would name a namespace
    for (char Char : Port)
        Name += Char == '\\' ? '/' : static_cast<char>(std::toupper(static_cast<unsigned char>(Char)));
    return Name;
}

std::string LogFolder() {
    char Folder[MAX_PATH] = "";
    const DWORD Length = GetEnvironmentVariableA("LOCALAPPDATA", Folder, sizeof Folder);
    return Length > 0 && Length < sizeof Folder ? std::string(Folder) + "\\Gyrotalk" : std::string();
}

const char* OnOff(bool On) {
    return On ? "on" : "off";
}

}  // namespace

std::string TFMain::WantedPort() const {
    if (!FAbsentPort.empty())
        return FAbsentPort;
    return Line.Networked() ? FComChoice : CPP->Text();
}

std::string TFMain::WantedLine() const {
    return Line.Networked() ? Line.Name() : WantedPort();
}

void TFMain::OpenLog() {
    const std::string Folder = LogFolder();
    if (Folder.empty())
        return ShowNoLog(true);  // nowhere to keep one
    FLog.emplace(Folder + "\\Gyrotalk.log", Folder + "\\Gyrotalk.1.log");
}

void TFMain::ShowNoLog(bool NoLog) {
    // Said where a station's owner looks, for as long as it is so.
    if (NoLog == FNoLogShown)
        return;
    FNoLogShown = NoLog;
    SetWindowTextA(Handle(), (std::string(kMainForm.Caption) + (NoLog ? " (no log)" : "")).c_str());
}

void TFMain::Log(const std::string& Event) {
    if (!FLog)
        return;
    (void)FLog->Write(Event);  // one that is lost is counted in the log once it is back
    ShowNoLog(FLog->Failing());
}

std::string TFMain::ChoicesText() const {
    return "port " + WantedLine() + ", sequence " + cs->Text() + ", azimuth range " +
           kAzimuthRanges[Settings.AzimuthRange].Value + ", elevation range " +
           kElevationRanges[Settings.ElevationRange].Value + ", point ahead " + OnOff(Settings.PointAhead) +
           ", tolerance " + DegreesText(Settings.Tolerance) + ", network control " +
           (Settings.NetworkPort ? Settings.NetworkAddress + ":" + std::to_string(Settings.NetworkPort) : "off") +
           ", line speed " + std::to_string(Settings.BaudRate) + ", offsets " + DegreesText(Settings.AzimuthOffset) +
           " " + DegreesText(Settings.ElevationOffset) + ", horizon mask " + Settings.HorizonMask.Text() +
           ", between passes " + kBetweenPasses[Settings.BetweenPasses].Value;
}

void TFMain::StartStation(const std::string& How) {
    if (!FLog)
        OpenLog();
    Log(How + ": " + ChoicesText());
    Application().OnException = [this](const std::exception& Error) { StationError(Error); };
    Recovery->SetEnabled(true);
}

void TFMain::StopStation() {
    Log("unattended off");
    Application().OnException = nullptr;
    Recovery->SetEnabled(false);
    FLog.reset();
    ShowNoLog(false);
    if (!CP->Connected())
        op->SetDown(false);  // what a port that will not open shows when somebody watches
}

bool TFMain::ClaimStation() {
    SetLastError(ERROR_SUCCESS);
    const std::string Rotor = Line.Networked() ? Line.Name() : WantedPort();  // the port or the address
    FStation.Reset(CreateMutexA(nullptr, FALSE, StationName(Rotor).c_str()));
    return FStation && GetLastError() == ERROR_ALREADY_EXISTS;
}

bool TFMain::HandOverToRunningCopy() {
    const HWND Other = OtherCopy();
    if (!Other)
        return false;
    if (IsIconic(Other))
        ShowWindow(Other, SW_RESTORE);
    SetForegroundWindow(Other);
    OpenLog();
    Log("a second copy was started and ended: the one running drives " + WantedPort());
    FHandedOver = true;
    Close();
    return true;
}

void TFMain::StationError(const std::exception& Error) {
    const auto* PortError = dynamic_cast<const EComPort*>(&Error);
    if (PortError && PortError->DeviceGone() && CP->Connected())
        PortLost(*PortError);  // closed at the next tick: this may run inside the port's own event
    else
        Log("error: " + std::string(Error.what()));
}

void TFMain::PortMissing(const std::exception& Error) {
    if (!std::exchange(FPortOutage, true))
        Log("port " + WantedLine() + " not open: " + Error.what());
}

void TFMain::PortLost(const std::exception& Error) {
    if (!std::exchange(FPortLost, true))
        Log("port " + Line.Name() + " lost: " + Error.what());
    FPortOutage = true;
}

void TFMain::LineLost(const std::exception& Error) {
    if (!Settings.Unattended)
        return Application().HandleException(Error);  // one message; the window shows "Closed"
    // Closed already: only tried again.
    Log("port " + Line.Name() + " lost: " + Error.what());
    FPortOutage = true;
}

void TFMain::ClosePortLost() {
    FPortLost = false;
    Rotor.WaitForExchange();
    Line.Close();  // no STOP: nothing hears it
}

void TFMain::Recover() {
    if (FPortLost)
        ClosePortLost();
    if (op->Down() && !Line.Connected())
        TryPort([this] { Line.Open(WantedPort()); });
    if (!Tracking->IsOpen()) {
        LinkTrackingItem();
        Tracking->ReconnectConversation();
    }
}

void TFMain::ListAbsentPort() {
    // The adapter is there at last: offer it, and show it chosen.
    CPP->SetComProperty(cpPort);
    if (CPP->Items().IndexOf(FAbsentPort) < 0)
        return;
    CPP->SetText(FAbsentPort);
    FAbsentPort.clear();
}

void TFMain::PowerBroadcast(unsigned Event) {
    if (!Settings.Unattended || (Event != PBT_APMRESUMEAUTOMATIC && Event != PBT_APMRESUMESUSPEND))
        return;
    Log("resumed from standby");
    if (!Line.Networked() && CP->Connected()) {
        try {
            CP->PendingInputCount();  // a device that went away during the standby fails here
        } catch (const EComPort& Error) {
            if (!Error.DeviceGone())
                throw;
            PortLost(Error);
        }
    }
    Recover();
}

void TFMain::LogTarget(const TSatData& Before) {
    if (!FLog)
        return;
    if (Target.SatName != Before.SatName) {
        if (Target.SatName != "?" && !Target.SatName.empty())
            Log("satellite " + Target.SatName);
        return;
    }
    const bool Up = Target.Elevation >= 0;
    if (Up != (Before.Elevation >= 0))
        Log(Target.SatName + (Up ? " rises at azimuth " : " sets at azimuth ") + FormatFixed(Target.Azimuth, 4, 1));
}
