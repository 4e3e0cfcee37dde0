#pragma once
// The vocabulary of the serial-port family: line settings, line events,
// line errors, modem signals and the handler types.
#include <cstdint>
#include <functional>
#include <initializer_list>

// Each enumeration is held in one byte; the ordinal is the position in the list.
enum TBaudRate : uint8_t {
    brCustom, br110, br300, br600, br1200, br2400, br4800, br9600,
    br14400, br19200, br38400, br56000, br57600, br115200, br128000, br256000
};
enum TStopBits : uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits : uint8_t { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits : uint8_t { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl : uint8_t { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl : uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl : uint8_t { fcHardware, fcSoftware, fcNone, fcCustom };
enum TSyncMethod : uint8_t { smThreadSync, smWindowSync, smNone };

enum TComEvent : uint8_t {
    evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full
};
// The line errors that OnError reports.
enum TComError : uint8_t { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };
// The modem's input lines.
enum TComSignal : uint8_t { csCTS, csDSR, csRing, csRLSD };

// A set of enumeration values, bit n standing for ordinal n.
template <typename TEnum, typename TBits>
class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<TEnum> Items) {
        for (TEnum Item : Items)
            Include(Item);
    }
    static constexpr TEnumSet FromBits(TBits Bits) {
        TEnumSet Set;
        Set.FBits = Bits;
        return Set;
    }

    constexpr TBits Bits() const { return FBits; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr bool Contains(TEnum Item) const { return (FBits & Bit(Item)) != 0; }
    constexpr void Include(TEnum Item) { FBits = static_cast<TBits>(FBits | Bit(Item)); }
    constexpr void Exclude(TEnum Item) { FBits = static_cast<TBits>(FBits & ~Bit(Item)); }
    friend constexpr bool operator==(TEnumSet, TEnumSet) = default;

private:
    static constexpr TBits Bit(TEnum Item) { return static_cast<TBits>(1u << Item); }
    TBits FBits = 0;
};

using TComEvents = TEnumSet<TComEvent, uint16_t>;
using TComErrors = TEnumSet<TComError, uint8_t>;
using TComSignals = TEnumSet<TComSignal, uint8_t>;

inline constexpr TComEvents kAllComEvents = TComEvents::FromBits(0x3FF);

// Handlers. Like every component event (TNotifyEvent) they are bound to
// their receiver when assigned, so they take no sender argument.
using TRxCharEvent = std::function<void(int32_t Count)>;
using TRxBufEvent = std::function<void(const void* Buffer, int32_t Count)>;
using TComErrorEvent = std::function<void(TComErrors Errors)>;
using TComSignalEvent = std::function<void(bool OnOff)>;
