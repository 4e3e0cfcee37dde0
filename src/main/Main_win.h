#pragma once
// The program's one window: the tracking link, the rotor port and its
// selector, the cycle timers, and the labels that show all three.
// Main thread only.
#include "framework/Controls_win.h"
#include "framework/Forms_win.h"
#include "framework/Timers_win.h"
#include "main/RotorExchange.h"
#include "main/RotorPort_win.h"
#include "main/Settings.h"
#include "main/SettingsMenu_win.h"

class TComPort;
class TComComboBox;
class TDdeClientConv;
class TDdeClientItem;

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
    void ShowSatData();
    void LoadSettings();
    void LocateTrackingProgram();
    void SaveSettings();
    // A pick in the system menu: true when it was one of the choices.
    bool ChoiceMade(TChoice Choice);
    // Opening and re-opening the port fail silently: the button comes up.
    template <typename TAction>
    void TryPort(TAction Action);

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

    // Components, owned by the form (freed with it, last created first).
    TDdeClientConv* Tracking = nullptr;
    TDdeClientItem* TrackingData = nullptr;
    TComPort* CP = nullptr;
    TTimer* Timer = nullptr;
    TTimer* TimeOut = nullptr;
    // Controls, owned by the form.
    TComComboBox* CPP = nullptr;
    TComboBox* cs = nullptr;
    TLatchButton* op = nullptr;
    // The labels that show values, found once by their layout names.
    TLabel *l_dd, *l_st, *l_na, *l_az, *l_el, *l_uf, *l_df, *l_um, *l_dm, *l_cm;
    TLabel *s_ac, *s_te, *s_az, *s_el, *s_dv;

    std::string FProgramDir;
    TSettings Settings;
    TSettingsMenu SettingsMenu{Settings};
    TComRotorPort RotorPort{CP};
    TRotorExchange Rotor{RotorPort, *this, Settings};
};
