#include "main/Main_win.h"

#include <windows.h>

#include <cmath>
#include <ctime>
#include <utility>

#include "cport/CPort_win.h"
#include "cport/ComComboBox_win.h"
#include "dde/DdeClientConv_win.h"
#include "dde/DdeClientItem_win.h"
#include "dde/TrackingProgram.h"
#include "framework/Application_win.h"
#include "framework/InputQuery_win.h"
#include "framework/Registry_win.h"
#include "main/MainLayout_win.h"
#include "main/SatData.h"
#include "net/RotatorServer_win.h"

namespace {

std::string ExecutableDir() {
    char Path[MAX_PATH * 4] = "";
    DWORD Length = GetModuleFileNameA(nullptr, Path, sizeof Path);
    std::string Dir(Path, Length);
    Dir.erase(Dir.find_last_of("\\/") + 1);
    if (Dir.empty() || Dir.back() != '\\')
        Dir += '\\';
    return Dir;
}

bool FileExists(const std::string& Path) {
    DWORD Attributes = GetFileAttributesA(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Bytes of value 32 or less at either end are not part of the line.
std::string TrimControls(const std::string& Text) {
    size_t First = 0, Last = Text.size();
    while (First < Last && static_cast<unsigned char>(Text[First]) <= ' ')
        ++First;
    while (Last > First && static_cast<unsigned char>(Text[Last - 1]) <= ' ')
        --Last;
    return Text.substr(First, Last - First);
}

int SequenceOf(const std::string& Text) {
    for (int I = 0; I < static_cast<int>(std::size(kSequences)); ++I)
        if (lstrcmpiA(Text.c_str(), kSequences[I].Name) == 0)
            return I;
    return 0;
}

// A value of another type than text reads as missing, as an absent one.
std::string ReadText(TRegistry& Registry, const char* Name) {
    try {
        return Registry.ReadString(Name);
    } catch (const ERegistryException&) {
        return std::string();
    }
}

// WinExec would take "C:\Program Files\..." as the program "C:\Program"
// with arguments: a program path that holds a blank goes in quotes.
std::string ProgramCommand(const std::string& Program) {
    return Program.find(' ') == std::string::npos ? Program : '"' + Program + '"';
}

}  // namespace

TFMain::TFMain()
    : TForm(nullptr),
      NetworkRotator(
          Rotor, Line, Settings, kMainForm.Caption,
          [this](const TSatData& NewTarget, bool Pose) { TargetArrived(NewTarget, true, Pose); },
          [this](const std::string& Event) { Log(Event); }) {
    Build(kMainForm, MainLayout());
    CPP = Find<TComComboBox>("CPP");
    cs = Find<TComboBox>("cs");
    op = Find<TLatchButton>("op");
    const std::pair<TLabel**, const char*> Labels[] = {
        {&l_dd, "l_dd"}, {&l_st, "l_st"}, {&l_na, "l_na"}, {&l_az, "l_az"}, {&l_el, "l_el"},
        {&l_uf, "l_uf"}, {&l_df, "l_df"}, {&l_um, "l_um"}, {&l_dm, "l_dm"}, {&l_cm, "l_cm"},
        {&s_ac, "s_ac"}, {&s_te, "s_te"}, {&s_az, "s_az"}, {&s_el, "s_el"}, {&s_dv, "s_dv"}};
    for (auto [Label, Name] : Labels)
        *Label = Find<TLabel>(Name);
    // The port selector lists the machine's ports and selects the first.
    CPP->SetComProperty(cpPort);
    CPP->SetText("COM1");
    if (CPP->Items().Count() > 0)
        CPP->SetItemIndex(0);
    for (const auto& Sequence : kSequences)
        cs->Items().Add(Sequence.Name);
    SettingsMenu.Add(Handle());
    CreateComponents();
    BindHandlers();
}

TFMain::~TFMain() {
    NetworkServer.reset();
    // Errors of the components' ends still go to the log, and touch nothing else.
    if (Application().OnException)
        Application().OnException = [this](const std::exception& Error) { Log("error: " + std::string(Error.what())); };
    // Components first, while the labels and the exchange state they reach
    // (closing the port raises its after-close event) still exist.
    Destroying();
    Line.Tcp().Close();
    DestroyComponents();
    Application().OnException = nullptr;
}

// The components as a stored layout would load them: setters only store
// while loading, and the item waits, linked by name, for the first open.
void TFMain::CreateComponents() {
    BeginLoading();
    Tracking = new TDdeClientConv(this);
    Tracking->SetName("Tracking");
    Tracking->SetServiceApplication(kTrackingStartCommand);
    Tracking->SetLinkInfo({std::string("Service ") + kTrackingService, std::string("Topic ") + kTrackingTopic});
    Tracking->SetConnectMode(ddeManual);
    TrackingData = new TDdeClientItem(this);
    TrackingData->SetName("TrackingData");
    TrackingData->SetDdeConv(Tracking);
    TrackingData->SetDdeItem(kTrackingItem);

    CP = new TComPort(this);
    CP->SetName("CP");
    CP->SetPort("COM1");
    CP->SetBaudRate(br600);
    CP->SetDataBits(dbEight);
    CP->Parity().SetBits(prNone);
    CP->SetStopBits(sbOneStopBit);
    TComFlowControl& Flow = CP->FlowControl();
    Flow.SetOutCTSFlow(false);
    Flow.SetOutDSRFlow(false);
    Flow.SetControlDTR(dtrDisable);
    Flow.SetControlRTS(rtsDisable);
    Flow.SetXonXoffOut(false);
    Flow.SetXonXoffIn(false);
    CP->SetEvents({evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full});
    CP->SetSyncMethod(smWindowSync);

    Timer = new TTimer(this);
    Timer->SetInterval(kCycleInterval);
    TimeOut = new TTimer(this);  // the default interval, 1000 ms, is the reply time-out
    Recovery = new TTimer(this);
    Recovery->SetInterval(kRecoveryInterval);
    TrackingWatch = new TTimer(this);
    TrackingWatch->SetInterval(kTrackingWatchInterval);
    EndLoading();
}

void TFMain::BindHandlers() {
    OnCreate = [this] { FormCreate(); };
    OnActivate = [this] { FormActivate(); };
    OnCloseQuery = [this](bool& CanClose) { FormCloseQuery(CanClose); };
    OnSysCommand = [this](unsigned Command) { return ChoiceMade(SettingsMenu.Pick(Command)); };
    Find<TButton>("SpeedButton4")->OnClick = [this] { SpeedButton4Click(); };
    op->OnClick = [this] { opClick(); };
    CPP->OnChange = [this] { CPPChange(); };
    cs->OnChange = [this] { csChange(); };
    Find<TImage>("Image1")->OnClick = [this] { Image1Click(); };
    l_dd->OnClick = [this] { Image1Click(); };
    Tracking->OnOpen = [this] { TrackingOpen(); };
    Tracking->OnClose = [this] { TrackingClose(); };
    TrackingData->OnChange = [this] { TrackingDataChange(); };
    Timer->OnTimer = [this] { TimerTimer(); };
    TimeOut->OnTimer = [this] { TimeOutTimer(); };
    CP->OnAfterOpen = [this] { CPAfterOpen(); };
    CP->OnAfterClose = [this] { CPAfterClose(); };
    CP->OnRxChar = [this](int Count) { CPRxChar(Count); };
    // A rotor on the network goes through the same handlers.
    TTcpRotorPort& Tcp = Line.Tcp();
    Tcp.OnAfterOpen = [this] { CPAfterOpen(); };
    Tcp.OnAfterClose = [this] { CPAfterClose(); };
    Tcp.OnRxChar = [this](int Count) { CPRxChar(Count); };
    Tcp.OnOpenFailed = [this](const std::exception& Error) { PortNotOpen(Error); };
    Tcp.OnLost = [this](const std::exception& Error) { LineLost(Error); };
    Recovery->OnTimer = [this] { Recover(); };
    TrackingWatch->OnTimer = [this] { WatchTracking(); };
    OnPowerBroadcast = [this](unsigned Event) { PowerBroadcast(Event); };
}

void TFMain::FormCreate() {
    ParseSatData("", SatData);
    TargetArrived(SatData, false);
    FProgramDir = ExecutableDir();
    SetCurrentDirectoryA(FProgramDir.c_str());
    LoadSettings();
    const bool PortDriven = ClaimStation();
    if (Settings.Unattended) {
        if (PortDriven && HandOverToRunningCopy())
            return;
        StartStation("start " + Caption());
    }
    SwitchNetworkControl();
    LocateTrackingProgram();
    Tracking->OpenConversation();
    Rotor.Divider = 1;
}

void TFMain::LoadSettings() {
    TRegistry Registry;
    if (!Registry.OpenKey(kSettingsKey, true))
        return;
    // A value of another type than text gets the default, and shut-down
    // writes the value back as text.
    std::string Port = ReadText(Registry, kPortValue);
    Settings = ReadSettings([&](const char* Name) { return ReadText(Registry, Name); });
    if (CPP->Items().IndexOf(Port) >= 0)
        CPP->SetText(Port);
    else if (Settings.Unattended && !Port.empty())
        FAbsentPort = Port;  // an adapter not plugged in yet: waited for
    Rotor.SequenceIndex = SequenceOf(ReadText(Registry, kSequenceValue));
    cs->SetItemIndex(Rotor.SequenceIndex);
    ChooseLine(Settings.RotorAddress);
    Line.SetBaudRate(Settings.BaudRate);  // the port is closed yet: only stored
    SettingsMenu.Update();
}

void TFMain::LocateTrackingProgram() {
    if (FileExists(FProgramDir + kTrackingExecutable))
        return;  // the working directory resolves the start command
    TRegistry Registry;
    if (Registry.OpenKey(kTrackingInstallKey, true))
        Tracking->SetServiceApplication(
            ProgramCommand(ReadText(Registry, kTrackingInstallValue) + kTrackingStartCommand));
}

void TFMain::FormActivate() {
    TryPort([this] { Line.Open(WantedPort()); });
}

void TFMain::FormCloseQuery(bool& CanClose) {
    CanClose = true;  // whatever fails below is shown, and the window still closes
    if (FHandedOver)
        return;  // the running copy keeps everything
    FClosing = true;
    Timer->SetEnabled(false);
    Recovery->SetEnabled(false);
    NetworkServer.reset();
    Guarded([this] { SaveSettings(); });
    Tracking->CloseConversation();
    Rotor.WaitForExchange();
    Guarded([this] { Rotor.SendRotorCommand(rcStop); });
    Log("exit");
    Application().EndErrorDialog();  // else it would keep the program after its window
}

void TFMain::SaveSettings() {
    TRegistry Registry;
    if (!Registry.OpenKey(kSettingsKey, true))
        return;
    Registry.WriteString(kPortValue, WantedPort());
    Registry.WriteString(kSequenceValue, cs->Text());
    WriteSettings(Settings, [&](const char* Name, const std::string& Text) { Registry.WriteString(Name, Text); });
}

bool TFMain::ChoiceMade(TChoice Choice) {
    if (Choice == chUnattended)
        Settings.Unattended ? StartStation("unattended on") : StopStation();
    if (Choice == chNetworkControl)
        SwitchNetworkControl();
    if (Choice == chRotorAddress)
        AskRotorAddress();
    if (Choice == chBaudRate)
        Line.SetBaudRate(Settings.BaudRate);  // an open port before its next frame
    if (Choice == chAzimuthOffset || Choice == chElevationOffset || Choice == chHorizonMask ||
        Choice == chBetweenPasses)
        Rotor.ChoicesChanged();
    if (Choice == chLastPass)
        ShowLastPass();
    return Choice != chNone;
}

void TFMain::AskRotorAddress() {
    std::string Address = Settings.RotorAddress;
    for (;;) {
        if (!InputQuery(
                Handle(), "Rotor on the network",
                "Controller at HOST:PORT, or Hamlib's rotctld at rotctld://HOST:PORT (empty: the COM port):", Address))
            return;
        if (Address.find_first_not_of(" \t") == std::string::npos || !RotorAddressOf(Address).empty())
            break;
        Application().ShowException("\"" + Address + "\" is no address of the form HOST:PORT or rotctld://HOST:PORT.");
    }
    if (RotorAddressOf(Address) != Settings.RotorAddress)
        SwitchLine(RotorAddressOf(Address));
}

void TFMain::SwitchLine(const std::string& Address) {
    FPortOutage = false;
    TryPort([this, &Address] {
        Line.Close();
        Settings.RotorAddress = Address;
        ChooseLine(Address);
        (void)ClaimStation();
        SettingsMenu.Update();
        if (op->Down())
            Line.Open(WantedPort());
    });
}

void TFMain::ChooseLine(const std::string& Address) {
    Line.Choose(Address);
    Rotor.Speak(RotorProtocolFor(Address));
    ShowLine();
}

void TFMain::ShowLine() {
    const bool Networked = Line.Networked();
    if (Networked && CPP->Enabled())
        FComChoice = CPP->Text();  // chosen again when the rotor is back on a COM port
    if (Networked) {
        CPP->Items().Clear();
        CPP->Items().Add(Line.Name());
        CPP->SetItemIndex(0);
    } else if (!CPP->Enabled()) {
        CPP->SetComProperty(cpPort);
        CPP->SetText(FComChoice);
    }
    CPP->SetEnabled(!Networked);
}

void TFMain::SwitchNetworkControl() {
    NetworkServer.reset();
    if (Settings.NetworkPort == 0)
        return;
    try {
        NetworkServer = std::make_unique<TRotatorServer>(NetworkRotator, Settings.NetworkAddress, Settings.NetworkPort);
    } catch (const std::exception& E) {
        Application().HandleException(E);
    }
}

void TFMain::SpeedButton4Click() {
    Close();
}

void TFMain::TryPort(const std::function<void()>& Action) {
    try {
        Action();
    } catch (const std::exception& Error) {
        PortNotOpen(Error);
    }
}

void TFMain::PortNotOpen(const std::exception& Error) {
    if (Settings.Unattended && op->Down())
        PortMissing(Error);  // still wanted: tried again
    else
        op->SetDown(false);
}

void TFMain::opClick() {
    bool Down = op->Down();
    if (!Down && !Line.Connected()) {
        // A port given up as gone, or not there yet, is no longer wanted;
        // nor is an address still being connected to.
        FPortOutage = false;
        Line.Close();
        return;
    }
    if (Down == Line.Connected()) {
        op->SetDown(!Down);
        return;
    }
    TryPort([this, Down] {
        if (Down) {
            Line.Open(WantedPort());
            return;
        }
        Rotor.WaitForExchange();
        // A controller that cannot be reached (an unplugged adapter) gets
        // no STOP, but the port still closes: otherwise it could never be
        // reopened from the button.
        try {
            Rotor.SendRotorCommand(rcStop);
        } catch (const std::exception&) {
            Line.Close();
            throw;
        }
        Line.Close();
    });
}

void TFMain::CPPChange() {
    FAbsentPort.clear();
    FPortOutage = false;
    (void)ClaimStation();  // another copy's port, chosen by hand: the port's own claim refuses it
    TryPort([this] {
        if (CP->Connected())
            CP->Close();
        CP->SetPort(CPP->Text());
        if (op->Down())
            CP->Open();
    });
}

void TFMain::csChange() {
    Rotor.SequenceIndex = cs->ItemIndex();
}

void TFMain::Image1Click() {
    LinkTrackingItem();
    Tracking->OpenConversation();
}

void TFMain::LinkTrackingItem() {
    // A connect that failed (the tracking program neither running nor
    // startable) detached the item: link it again, so that data flows once
    // the tracking program runs.
    if (TrackingData->DdeItem().empty())
        TrackingData->SetDdeItem(kTrackingItem);
}

void TFMain::TrackingOpen() {
    l_dd->SetText("Opened");
    TrackingWatch->SetEnabled(true);
    Log(std::exchange(FTrackingLost, false) ? "tracking program back" : "tracking program connected");
}

void TFMain::TrackingClose() {
    FTrackingLost = true;
    TrackingWatch->SetEnabled(false);
    FTrackingSilence = 0;
    FTrackingHung = false;
    if (!FClosing)
        Log("tracking program gone");
    l_dd->SetText("Closed");
    l_st->SetText("No data");
    ParseSatData("", SatData);
    if (!NetworkTarget)  // a network target holds until the next line
        TargetArrived(SatData, false);
}

void TFMain::WatchTracking() {
    FTrackingSilence = Tracking->ServerHung(kTrackingAnswerTimeout) ? FTrackingSilence + 1 : 0;
    const bool Hung = FTrackingSilence >= kTrackingHungLooks;
    if (Hung == FTrackingHung)
        return;
    FTrackingHung = Hung;
    l_dd->SetText(Hung ? "Not responding" : "Opened");
    Log(Hung ? "tracking program not responding" : "tracking program responds again");
}

void TFMain::TrackingDataChange() {
    std::string Line = TrimControls(TrackingData->Text());
    l_st->SetText(Line.empty() ? "No data" : Line);
    ParseSatData(Line, SatData);
    // With no conversation (a tracking program tried and not reached) the
    // item's change is no line: a network target holds until the next line.
    if (NetworkTarget && !Tracking->IsOpen())
        return;
    TargetArrived(SatData, false);
}

void TFMain::TargetArrived(const TSatData& NewTarget, bool FromNetwork, bool Pose) {
    const TSatData Before = std::exchange(Target, NewTarget);
    NetworkTarget = FromNetwork;
    TargetIsPose = Pose;
    Rotor.TargetArrived(Target, FromNetwork, NowMs());
    ShowTarget();
    LogTarget(Before);
}

void TFMain::ShowTarget() {
    TSatDataTexts Texts = SatDataTexts(Target);
    l_na->SetText(Texts.Name);
    l_az->SetText(Texts.Azimuth);
    l_el->SetText(Texts.Elevation);
    l_uf->SetText(Texts.Uplink);
    l_df->SetText(Texts.Downlink);
    l_um->SetText(Texts.UplinkMode);
    l_dm->SetText(Texts.DownlinkMode);
}

void TFMain::TimerTimer() {
    if (FPortLost) {
        ClosePortLost();
        return;
    }
    try {
        // The line of a hung tracking program is stale: no SET goes to it.
        Rotor.TimerTimer(FTrackingHung && !NetworkTarget ? TSatData() : Target, TargetIsPose);
    } catch (const EComPort& Error) {
        if (!Settings.Unattended || !Error.DeviceGone())
            throw;
        PortLost(Error);
        ClosePortLost();
    }
}

void TFMain::TimeOutTimer() {
    Rotor.TimeOutTimer();
}

void TFMain::CPRxChar(int Count) {
    Rotor.CPRxChar(Count);
}

void TFMain::CPAfterOpen() {
    Log("port " + Line.Name() + (std::exchange(FPortOutage, false) ? " back" : " opened"));
    if (!FAbsentPort.empty() && !Line.Networked())
        Guarded([this] { ListAbsentPort(); });
    Rotor.CPAfterOpen();
}

void TFMain::CPAfterClose() {
    Rotor.CPAfterClose();
}

void TFMain::EnableCycleTimer(bool Enabled) {
    Timer->SetEnabled(Enabled);
}

void TFMain::EnableTimeOut(bool Enabled) {
    TimeOut->SetEnabled(Enabled);
}

void TFMain::WaitUntil(const std::function<bool()>& Done) {
    Application().WaitUntil(Done);
}

double TFMain::NowMs() {
    LARGE_INTEGER Count, Frequency;
    QueryPerformanceCounter(&Count);
    QueryPerformanceFrequency(&Frequency);
    return static_cast<double>(Count.QuadPart) * 1000.0 / static_cast<double>(Frequency.QuadPart);
}

bool TFMain::PortWanted() {
    return op->Down();
}

bool TFMain::WindowVisible() {
    return Handle() && IsWindowVisible(Handle());
}

void TFMain::ShowLastCommand(const std::string& Text) {
    l_cm->SetText(Text);
}

void TFMain::ShowTransmissionError(bool Visible) {
    s_te->SetVisible(Visible);
}

void TFMain::ShowPortState(const std::string& Text) {
    s_ac->SetText(Text);
}

void TFMain::TransmissionErrorBegan(const std::string& Why) {
    Log(Why.empty() ? "transmission error" : "transmission error: " + Why);
}

void TFMain::LimitsLearnt(const std::optional<TRotatorLimits>& Limits) {
    if (!Limits)
        return Log("the rotor at " + Line.Name() + " tells no limits: the chosen ranges hold");
    Log("the rotor at " + Line.Name() + " accepts azimuth " + DegreesText(Limits->MinAzimuth) + " to " +
        DegreesText(Limits->MaxAzimuth) + ", elevation " + DegreesText(Limits->MinElevation) + " to " +
        DegreesText(Limits->MaxElevation));
}

void TFMain::TransmissionErrorEnded(int FailedExchanges) {
    Log("replies again after " + std::to_string(FailedExchanges) + " failed exchanges");
}

void TFMain::PassEnded(const TPassReport& Pass) {
    FLastPass = PassReportText(Pass, ClockText(Pass.RiseMs), ClockText(Pass.SetMs));
    Log(FLastPass);
}

std::string TFMain::ClockText(double Ms) {
    const auto SecondsAgo = static_cast<std::time_t>(std::llround((NowMs() - Ms) / 1000));
    return LocalTimeText(std::time(nullptr) - SecondsAgo).substr(11);
}

void TFMain::ShowLastPass() {
    if (Settings.Unattended)
        return;
    MessageBoxA(Handle(), FLastPass.empty() ? "No pass has ended since Gyrotalk was started." : FLastPass.c_str(),
                "Last pass", MB_OK | MB_ICONINFORMATION);
}

void TFMain::ShowRotorState(const TRotorState& State) {
    s_az->SetText(State.AzimuthText());
    s_az->SetColor(State.AzimuthRed ? clRed : clBlue);
    s_dv->SetText(State.DividerText());
    s_el->SetText(State.ElevationText());
    s_el->SetColor(State.ElevationRed ? clRed : clBlue);
}
