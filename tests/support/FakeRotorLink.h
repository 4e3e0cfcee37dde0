#pragma once
// The rotor exchange's port and window, in memory, for native tests.
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "main/RotorExchange.h"

// A window and port in memory. Messages that the wait would hand out are
// queued actions; a wait with nothing queued would hang for real, so it fails.
class TFakeLink : public TRotorPort, public TRotorLink {
public:
    bool Open = true;
    bool Wanted = true;
    bool Visible = true;
    bool FailWrites = false;
    double Now = 0;                    // ms
    std::string Input;                 // bytes waiting in the port
    std::vector<std::string> Written;  // frames on the wire
    std::vector<std::string> Waiting;  // the input as each frame went out
    std::deque<std::function<void()>> Messages;
    bool CycleTimer = false, TimeOut = false;
    int TimeOutStarts = 0;
    std::string LastCommand = "?", PortState = "Closed";
    bool ErrorShown = false;
    std::vector<TRotorState> Shown;
    std::vector<int> Runs;  // failed exchanges of each run of them (0: under way)
    std::string Why;        // of the latest run
    std::optional<TRotatorLimits> Limits;
    std::vector<TPassReport> Passes;

    bool Connected() override { return Open; }
    void Write(const std::string& Bytes) override {
        if (FailWrites)
            throw std::runtime_error("write failed");
        Written.push_back(Bytes);
        Waiting.push_back(Input);
    }
    std::string Read(int Count) override {
        std::string Bytes = Input.substr(0, Count);
        Input.erase(0, Bytes.size());
        return Bytes;
    }
    void DropInput() override { Input.clear(); }
    void EnableCycleTimer(bool Enabled) override { CycleTimer = Enabled; }
    void EnableTimeOut(bool Enabled) override {
        TimeOutStarts += Enabled;
        TimeOut = Enabled;
    }
    void WaitUntil(const std::function<bool()>& Done) override {
        while (!Done()) {
            if (Messages.empty())
                throw std::logic_error("the wait would never end");
            auto Message = Messages.front();
            Messages.pop_front();
            Message();
        }
    }
    double NowMs() override { return Now; }
    bool PortWanted() override { return Wanted; }
    bool WindowVisible() override { return Visible; }
    void ShowLastCommand(const std::string& Text) override { LastCommand = Text; }
    void ShowTransmissionError(bool Shown) override { ErrorShown = Shown; }
    void ShowPortState(const std::string& Text) override { PortState = Text; }
    void ShowRotorState(const TRotorState& State) override { Shown.push_back(State); }
    void TransmissionErrorBegan(const std::string& Failure) override {
        Runs.push_back(0);
        Why = Failure;
    }
    void LimitsLearnt(const std::optional<TRotatorLimits>& Told) override { Limits = Told; }
    void TransmissionErrorEnded(int Failed) override { Runs.back() = Failed; }
    void PassEnded(const TPassReport& Pass) override { Passes.push_back(Pass); }

    std::vector<char> Kinds() const {  // the command byte of every frame sent
        std::vector<char> Result;
        for (const auto& Frame : Written)
            Result.push_back(Frame[11]);
        return Result;
    }
};
