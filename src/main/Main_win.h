#pragma once
// The program's one window: the tracking link, the rotor port and its
// selector, the cycle timers, and the labels that show all three.
// Main thread only.
#include <memory>
#include <optional>

#include "framework/Controls_win.h"
#include "framework/Forms_win.h"
#include "framework/Handles_win.h"
#include "framework/Timers_win.h"
#include "main/NetworkRotator.h"
#include "main/RotorExchange.h"
#include "main/RotorLine_win.h"
#include "main/Settings.h"
#include "main/SettingsMenu_win.h"
#include "main/StationLog.h"

class EComPort;
class TComPort;
class TComComboBox;
class TDdeClientConv;
class TDdeClientItem;
class TRotatorServer;

// Unattended, between tries of a lost port and of a tracking program gone.
inline constexpr unsigned kRecoveryInterval = 5000;  // ms
// The tracking program is asked this often whether it serves its windows;
// it is hung after as many looks in a row without an answer as cover the
// system's own five seconds, each waiting briefly (a hung one is known to
// the system then, and answers at once).
inline constexpr unsigned kTrackingWatchInterval = 2000;  // ms
inline constexpr unsigned kTrackingAnswerTimeout = 250;   // ms
inline constexpr int kTrackingHungLooks = 3;

class TFMain : public TForm, private TRotorLink {
public:
    TFMain();
    ~TFMain() override;

    // Handlers, bound to the window's events, controls and components.
    void FormCreate();
    void FormActivate();
    void FormCloseQuery(bool& CanClose);
    void SpeedButton4Click();
    void opClick();
    void CPPChange();
    void csChange();
    void Image1Click();
    void TrackingOpen();
    void TrackingClose();
    void TrackingDataChange();
    void TimerTimer();
    void TimeOutTimer();
    void CPRxChar(int Count);
    void CPAfterOpen();
    void CPAfterClose();

    // The directory of the executable, ending in a backslash.
    const std::string& ProgramDir() const { return FProgramDir; }

private:
    void CreateComponents();
    void BindHandlers();
    // The one entry for a new target, a tracking line's or a network
    // client's: the window shows it and the next SET step aims at it (Pose:
    // takes it as the rotor's pose, the park position).
    void TargetArrived(const TSatData& NewTarget, bool FromNetwork, bool Pose = false);
    void ShowTarget();
    // Listens as the choice says, or not at all; a failure is shown and the
    // program runs on without it.
    void SwitchNetworkControl();
    void LoadSettings();
    void LocateTrackingProgram();
    void SaveSettings();
    // A pick in the system menu: true when it was one of the choices.
    bool ChoiceMade(TChoice Choice);
    // Opening and re-opening the port fail silently: the button comes up
    // (unattended it stays down, and the port is tried again).
    void TryPort(const std::function<void()>& Action);
    void PortNotOpen(const std::exception& Error);
    // The rotor on the network: the address asked for, the line switched to
    // it (an empty one: back to the COM port), and the selector showing it.
    void AskRotorAddress();
    void SwitchLine(const std::string& Address);
    // The medium and what the rotor speaks, as Address says.
    void ChooseLine(const std::string& Address);
    void ShowLine();
    // The connection to a rotor on the network broke: the line is closed.
    void LineLost(const std::exception& Error);
    void LinkTrackingItem();
    void WatchTracking();

    // Unattended running (MainStation_win.cpp): errors go to the log, and a
    // lost port and a tracking program gone are tried again until they are back.
    void StartStation(const std::string& How);
    void StopStation();
    void OpenLog();
    void ShowNoLog(bool NoLog);
    void Log(const std::string& Event);
    std::string ChoicesText() const;
    // The port the user chose: unattended, one stored that is not there yet
    // (an adapter plugged in later) is waited for.
    std::string WantedPort() const;
    // What the log names: WantedPort, or the address on the network.
    std::string WantedLine() const;
    void ListAbsentPort();
    void StationError(const std::exception& Error);
    // Holds the wanted port's named object: true when another copy holds it
    // already (it drives that port).
    [[nodiscard]] bool ClaimStation();
    [[nodiscard]] bool HandOverToRunningCopy();
    void PortMissing(const std::exception& Error);
    void PortLost(const std::exception& Error);
    void ClosePortLost();
    void Recover();
    void PowerBroadcast(unsigned Event);
    void LogTarget(const TSatData& Before);

    // TRotorLink
    void EnableCycleTimer(bool Enabled) override;
    void EnableTimeOut(bool Enabled) override;
    void WaitUntil(const std::function<bool()>& Done) override;
    double NowMs() override;
    bool PortWanted() override;
    bool WindowVisible() override;
    void ShowLastCommand(const std::string& Text) override;
    void ShowTransmissionError(bool Visible) override;
    void ShowPortState(const std::string& Text) override;
    void ShowRotorState(const TRotorState& State) override;
    void TransmissionErrorBegan(const std::string& Why) override;
    void LimitsLearnt(const std::optional<TRotatorLimits>& Limits) override;
    void TransmissionErrorEnded(int FailedExchanges) override;
    void PassEnded(const TPassReport& Pass) override;
    // The report of the last pass in a message box, for somebody watching.
    void ShowLastPass();
    // The local time of a moment of the steady clock, "HH:MM:SS".
    std::string ClockText(double Ms);

    // Components, owned by the form (freed with it, last created first).
    TDdeClientConv* Tracking = nullptr;
    TDdeClientItem* TrackingData = nullptr;
    TComPort* CP = nullptr;
    TTimer* Timer = nullptr;
    TTimer* TimeOut = nullptr;
    TTimer* Recovery = nullptr;       // unattended: tries the port and the tracking program again
    TTimer* TrackingWatch = nullptr;  // while the conversation is open: is the tracking program hung?
    // Controls, owned by the form.
    TComComboBox* CPP = nullptr;
    TComboBox* cs = nullptr;
    TLatchButton* op = nullptr;
    // The labels that show values, found once by their layout names.
    TLabel *l_dd, *l_st, *l_na, *l_az, *l_el, *l_uf, *l_df, *l_um, *l_dm, *l_cm;
    TLabel *s_ac, *s_te, *s_az, *s_el, *s_dv;

    std::string FProgramDir;
    // Unattended state.
    std::optional<TStationLog> FLog;  // while unattended and writable
    bool FPortLost = false;           // a failure said the device has gone: close at the next chance
    bool FPortOutage = false;         // wanted open, and not open since it was lost or refused
    bool FTrackingLost = false;       // the conversation ended since it was last open
    int FTrackingSilence = 0;         // looks in a row the tracking program did not answer
    bool FTrackingHung = false;       // its line is stale: no SET goes to it
    bool FHandedOver = false;         // a copy that was running already drives the port
    bool FNoLogShown = false;
    bool FClosing = false;    // the window closes: the end of the tracking link is no news
    std::string FAbsentPort;  // the stored port, while it is not listed
    std::string FComChoice;   // the COM port chosen, while the selector shows an address
    std::string FLastPass;    // the report of the last pass, empty before the first
    TMutexHandle FStation;    // the wanted port's named object: see ClaimStation
    TSettings Settings;
    TSettingsMenu SettingsMenu{Settings};
    TRotorLine Line{CP};
    TRotorExchange Rotor{Line, *this, Settings};
    // The latest target from either source: it holds until the next one.
    TSatData Target;
    bool NetworkTarget = false;
    bool TargetIsPose = false;
    TNetworkRotator NetworkRotator;
    std::unique_ptr<TRotatorServer> NetworkServer;  // while network control is on
};
