#pragma once
// What an open device is given: the device control block and the timeouts,
// built from the port's settings alone (the device's current state is never
// read first).
#include <cstdint>
#include <string>

#include "cport/ComSettings.h"
#include "cport/ComTypes.h"

// The port's own line settings, beside its four setting objects.
struct TLineSettings {
    TBaudRate BaudRate = br9600;
    int32_t CustomBaudRate = 9600;  // bits per second while BaudRate is brCustom
    TStopBits StopBits = sbOneStopBit;
    TDataBits DataBits = dbEight;
    bool DiscardNull = false;  // the device drops received zero bytes
    char EventChar = 0;        // the received byte that signals evRxFlag
};

// Flags of the device control block's bit-field word.
enum : uint32_t {
    kDcbBinary = 0x0001,
    kDcbParity = 0x0002,
    kDcbOutxCtsFlow = 0x0004,
    kDcbOutxDsrFlow = 0x0008,
    kDcbDtrControlShift = 4,  // two bits: 0x0030
    kDcbDsrSensitivity = 0x0040,
    kDcbTxContinueOnXoff = 0x0080,
    kDcbOutX = 0x0100,
    kDcbInX = 0x0200,
    kDcbErrorChar = 0x0400,
    kDcbNull = 0x0800,
    kDcbRtsControlShift = 12,  // two bits: 0x3000
};

// The Windows DCB, field for field (28 bytes), with the bit fields as one word.
struct TDeviceControlBlock {
    uint32_t DCBlength;
    uint32_t BaudRate;
    uint32_t Flags;
    uint16_t wReserved;
    uint16_t XonLim;
    uint16_t XoffLim;
    uint8_t ByteSize;
    uint8_t Parity;
    uint8_t StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    uint16_t wReserved1;
};
static_assert(sizeof(TDeviceControlBlock) == 28);

// COMMTIMEOUTS, each property as its 32-bit pattern.
struct TDeviceTimeouts {
    uint32_t ReadIntervalTimeout;
    uint32_t ReadTotalTimeoutMultiplier;
    uint32_t ReadTotalTimeoutConstant;
    uint32_t WriteTotalTimeoutMultiplier;
    uint32_t WriteTotalTimeoutConstant;
};

// The device that a port name opens: "\\.\" followed by the name.
inline std::string DevicePath(const std::string& Port) {
    return "\\\\.\\" + Port;
}

// CustomBaudRate for brCustom, otherwise the rate in the value's name.
uint32_t BaudRateValue(TBaudRate Rate, int32_t CustomBaudRate);

TDeviceControlBlock BuildDeviceControlBlock(const TLineSettings& Line,
                                            const TComParity& Parity,
                                            const TComFlowControl& FlowControl,
                                            const TComBuffer& Buffer);
TDeviceTimeouts BuildDeviceTimeouts(const TComTimeouts& Timeouts);
