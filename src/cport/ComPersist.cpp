#include "cport/ComPersist.h"

#include <functional>

#include "cport/ComNames.h"

namespace {

// Where the values go: an ini file's section, or a registry key, which has
// no defaults.
class TStore {
public:
    virtual std::string ReadText(const std::string& Key, const std::string& Default) = 0;
    virtual void WriteText(const std::string& Key, const std::string& Value) = 0;
    virtual int32_t ReadInteger(const std::string& Key, int32_t Default) = 0;
    virtual void WriteInteger(const std::string& Key, int32_t Value) = 0;

protected:
    ~TStore() = default;
};

class TIniStore final : public TStore {
public:
    TIniStore(TCustomIniFile& IniFile, const std::string& Section) : FIniFile(IniFile), FSection(Section) {}
    std::string ReadText(const std::string& Key, const std::string& Default) override {
        return FIniFile.ReadString(FSection, Key, Default);
    }
    void WriteText(const std::string& Key, const std::string& Value) override {
        FIniFile.WriteString(FSection, Key, Value);
    }
    int32_t ReadInteger(const std::string& Key, int32_t Default) override {
        return FIniFile.ReadInteger(FSection, Key, Default);
    }
    void WriteInteger(const std::string& Key, int32_t Value) override { FIniFile.WriteInteger(FSection, Key, Value); }

private:
    TCustomIniFile& FIniFile;
    const std::string& FSection;
};

class TRegistryStore final : public TStore {
public:
    explicit TRegistryStore(TCustomRegistry& Registry) : FRegistry(Registry) {}
    std::string ReadText(const std::string& Key, const std::string&) override { return FRegistry.ReadString(Key); }
    void WriteText(const std::string& Key, const std::string& Value) override { FRegistry.WriteString(Key, Value); }
    int32_t ReadInteger(const std::string& Key, int32_t) override { return FRegistry.ReadInteger(Key); }
    void WriteInteger(const std::string& Key, int32_t Value) override { FRegistry.WriteInteger(Key, Value); }

private:
    TCustomRegistry& FRegistry;
};

// Each key is described once, with its current value in stored form and how
// to set it; saving and loading are two ways of visiting the keys.
class TKeyVisitor {
public:
    virtual void Text(const char* Key, const std::string& Value, const std::function<void(const std::string&)>& Set) = 0;
    // Default: what a missing key reads as, where the store has defaults.
    virtual void Integer(const char* Key, int32_t Value, int32_t Default, const std::function<void(int32_t)>& Set) = 0;

protected:
    ~TKeyVisitor() = default;
};

class TSaver final : public TKeyVisitor {
public:
    explicit TSaver(TStore& Store) : FStore(Store) {}
    void Text(const char* Key, const std::string& Value, const std::function<void(const std::string&)>&) override {
        FStore.WriteText(Key, Value);
    }
    void Integer(const char* Key, int32_t Value, int32_t, const std::function<void(int32_t)>&) override {
        FStore.WriteInteger(Key, Value);
    }

private:
    TStore& FStore;
};

class TLoader final : public TKeyVisitor {
public:
    explicit TLoader(TStore& Store) : FStore(Store) {}
    void Text(const char* Key, const std::string& Value, const std::function<void(const std::string&)>& Set) override {
        Set(FStore.ReadText(Key, Value));
    }
    void Integer(const char* Key, int32_t, int32_t Default, const std::function<void(int32_t)>& Set) override {
        Set(FStore.ReadInteger(Key, Default));
    }

private:
    TStore& FStore;
};

// A setting stored as a name: its property and the two conversions.
template <typename TObject, typename TValue>
void Named(TKeyVisitor& Visitor,
           const char* Key,
           TObject& Object,
           TValue (TObject::*Get)() const,
           void (TObject::*Set)(TValue),
           std::string (*ToText)(TValue),
           TValue (*FromText)(const std::string&)) {
    Visitor.Text(Key, ToText((Object.*Get)()), [&Object, Set, FromText](const std::string& Text) {
        (Object.*Set)(FromText(Text));
    });
}

template <typename TObject>
void Flag(TKeyVisitor& Visitor, const char* Key, TObject& Object, bool (TObject::*Get)() const,
          void (TObject::*Set)(bool)) {
    Named(Visitor, Key, Object, Get, Set, BoolToText, TextToBool);
}

template <typename TObject>
void Character(TKeyVisitor& Visitor, const char* Key, TObject& Object, char (TObject::*Get)() const,
               void (TObject::*Set)(char)) {
    Named(Visitor, Key, Object, Get, Set, CharToText, TextToChar);
}

// A missing key leaves the setting as it is.
template <typename TObject>
void Number(TKeyVisitor& Visitor, const char* Key, TObject& Object, int32_t (TObject::*Get)() const,
            void (TObject::*Set)(int32_t)) {
    const int32_t Value = (Object.*Get)();
    Visitor.Integer(Key, Value, Value, [&Object, Set](int32_t Number) { (Object.*Set)(Number); });
}

using TPort = TComPortSettings;
constexpr int32_t kDefaultCustomBaudRate = 9600;

void VisitBasic(TPort& Port, TKeyVisitor& V) {
    V.Text("Port", Port.Port(), [&Port](const std::string& Text) { Port.SetPort(Text); });
    Named(V, "BaudRate", Port, &TPort::BaudRate, &TPort::SetBaudRate, BaudRateToText, TextToBaudRate);
    // Only with the rate just loaded: the custom rate means nothing otherwise.
    if (Port.BaudRate() == brCustom)
        V.Integer("CustomBaudRate", Port.CustomBaudRate(), kDefaultCustomBaudRate,
                  [&Port](int32_t Rate) { Port.SetCustomBaudRate(Rate); });
    Named(V, "StopBits", Port, &TPort::StopBits, &TPort::SetStopBits, StopBitsToText, TextToStopBits);
    Named(V, "DataBits", Port, &TPort::DataBits, &TPort::SetDataBits, DataBitsToText, TextToDataBits);
    Named(V, "Parity", Port.Parity(), &TComParity::Bits, &TComParity::SetBits, ParityToText, TextToParity);
    Named(V, "FlowControl", Port.FlowControl(), &TComFlowControl::FlowControl, &TComFlowControl::SetFlowControl,
          FlowControlToText, TextToFlowControl);
}

void VisitOthers(TPort& Port, TKeyVisitor& V) {
    Character(V, "EventChar", Port, &TPort::EventChar, &TPort::SetEventChar);
    Flag(V, "DiscardNull", Port, &TPort::DiscardNull, &TPort::SetDiscardNull);
}

void VisitParity(TPort& Port, TKeyVisitor& V) {
    TComParity& Parity = Port.Parity();
    Flag(V, "Parity.Check", Parity, &TComParity::Check, &TComParity::SetCheck);
    Flag(V, "Parity.Replace", Parity, &TComParity::Replace, &TComParity::SetReplace);
    Character(V, "Parity.ReplaceChar", Parity, &TComParity::ReplaceChar, &TComParity::SetReplaceChar);
}

void VisitBuffer(TPort& Port, TKeyVisitor& V) {
    TComBuffer& Buffer = Port.Buffer();
    Number(V, "Buffer.OutputSize", Buffer, &TComBuffer::OutputSize, &TComBuffer::SetOutputSize);
    Number(V, "Buffer.InputSize", Buffer, &TComBuffer::InputSize, &TComBuffer::SetInputSize);
}

void VisitTimeouts(TPort& Port, TKeyVisitor& V) {
    using T = TComTimeouts;
    T& Timeouts = Port.Timeouts();
    Number(V, "Timeouts.ReadInterval", Timeouts, &T::ReadInterval, &T::SetReadInterval);
    Number(V, "Timeouts.ReadTotalConstant", Timeouts, &T::ReadTotalConstant, &T::SetReadTotalConstant);
    Number(V, "Timeouts.ReadTotalMultiplier", Timeouts, &T::ReadTotalMultiplier, &T::SetReadTotalMultiplier);
    Number(V, "Timeouts.WriteTotalConstant", Timeouts, &T::WriteTotalConstant, &T::SetWriteTotalConstant);
    Number(V, "Timeouts.WriteTotalMultiplier", Timeouts, &T::WriteTotalMultiplier, &T::SetWriteTotalMultiplier);
}

void VisitFlowControl(TPort& Port, TKeyVisitor& V) {
    using F = TComFlowControl;
    F& Flow = Port.FlowControl();
    Named(V, "FlowControl.ControlRTS", Flow, &F::ControlRTS, &F::SetControlRTS, ControlRTSToText, TextToControlRTS);
    Named(V, "FlowControl.ControlDTR", Flow, &F::ControlDTR, &F::SetControlDTR, ControlDTRToText, TextToControlDTR);
    Flag(V, "FlowControl.DSRSensitivity", Flow, &F::DSRSensitivity, &F::SetDSRSensitivity);
    Flag(V, "FlowControl.OutCTSFlow", Flow, &F::OutCTSFlow, &F::SetOutCTSFlow);
    Flag(V, "FlowControl.OutDSRFlow", Flow, &F::OutDSRFlow, &F::SetOutDSRFlow);
    Flag(V, "FlowControl.TxContinueOnXoff", Flow, &F::TxContinueOnXoff, &F::SetTxContinueOnXoff);
    Flag(V, "FlowControl.XonXoffIn", Flow, &F::XonXoffIn, &F::SetXonXoffIn);
    Flag(V, "FlowControl.XonXoffOut", Flow, &F::XonXoffOut, &F::SetXonXoffOut);
    Character(V, "FlowControl.XoffChar", Flow, &F::XoffChar, &F::SetXoffChar);
    Character(V, "FlowControl.XonChar", Flow, &F::XonChar, &F::SetXonChar);
}

// The groups in the order in which they are saved and loaded.
constexpr struct {
    TComSettingGroup Group;
    void (*Visit)(TPort&, TKeyVisitor&);
} kGroups[] = {
    {sgBasic, VisitBasic},       {sgOthers, VisitOthers},     {sgParity, VisitParity},
    {sgBuffer, VisitBuffer},     {sgTimeouts, VisitTimeouts}, {sgFlowControl, VisitFlowControl},
};

void VisitGroups(TPort& Port, TComSettingGroups Groups, TKeyVisitor&& Visitor) {
    for (const auto& Entry : kGroups)
        if (Groups.Contains(Entry.Group))
            Entry.Visit(Port, Visitor);
}

}  // namespace

void SaveComSettings(TPort& Port, TComSettingGroups Groups, TCustomIniFile& IniFile, const std::string& Section) {
    TIniStore Store(IniFile, Section);
    VisitGroups(Port, Groups, TSaver(Store));
}

void SaveComSettings(TPort& Port, TComSettingGroups Groups, TCustomRegistry& Registry) {
    TRegistryStore Store(Registry);
    VisitGroups(Port, Groups, TSaver(Store));
}

void LoadComSettings(TPort& Port, TComSettingGroups Groups, TCustomIniFile& IniFile, const std::string& Section) {
    TIniStore Store(IniFile, Section);
    VisitGroups(Port, Groups, TLoader(Store));
}

void LoadComSettings(TPort& Port, TComSettingGroups Groups, TCustomRegistry& Registry) {
    TRegistryStore Store(Registry);
    VisitGroups(Port, Groups, TLoader(Store));
}
