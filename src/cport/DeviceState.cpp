#include "cport/DeviceState.h"

namespace {
constexpr uint32_t kBaudRates[] = {0,     110,   300,   600,    1200,   2400,   4800,   9600,
                                   14400, 19200, 38400, 56000,  57600,  115200, 128000, 256000};
}  // namespace

uint32_t BaudRateValue(TBaudRate Rate, int32_t CustomBaudRate) {
    return Rate == brCustom ? static_cast<uint32_t>(CustomBaudRate) : kBaudRates[Rate];
}

TDeviceControlBlock BuildDeviceControlBlock(const TLineSettings& Line,
                                            const TComParity& Parity,
                                            const TComFlowControl& FlowControl,
                                            const TComBuffer& Buffer) {
    const bool ErrorChar = Parity.Check() && Parity.Replace();
    uint32_t Flags = kDcbBinary;
    auto Set = [&Flags](bool On, uint32_t Flag) {
        if (On)
            Flags |= Flag;
    };
    Set(Parity.Check(), kDcbParity);
    Set(FlowControl.OutCTSFlow(), kDcbOutxCtsFlow);
    Set(FlowControl.OutDSRFlow(), kDcbOutxDsrFlow);
    Flags |= uint32_t{FlowControl.ControlDTR()} << kDcbDtrControlShift;
    Set(FlowControl.DSRSensitivity(), kDcbDsrSensitivity);
    Set(FlowControl.TxContinueOnXoff(), kDcbTxContinueOnXoff);
    Set(FlowControl.XonXoffOut(), kDcbOutX);
    Set(FlowControl.XonXoffIn(), kDcbInX);
    Set(ErrorChar, kDcbErrorChar);
    Set(Line.DiscardNull, kDcbNull);
    Flags |= uint32_t{FlowControl.ControlRTS()} << kDcbRtsControlShift;

    TDeviceControlBlock Block{};
    Block.DCBlength = sizeof(TDeviceControlBlock);
    Block.BaudRate = BaudRateValue(Line.BaudRate, Line.CustomBaudRate);
    Block.Flags = Flags;
    Block.XonLim = Block.XoffLim = static_cast<uint16_t>(Buffer.InputSize() / 4);
    Block.ByteSize = static_cast<uint8_t>(5 + Line.DataBits);
    Block.Parity = Parity.Bits();
    Block.StopBits = Line.StopBits;
    Block.XonChar = FlowControl.XonChar();
    Block.XoffChar = FlowControl.XoffChar();
    Block.ErrorChar = ErrorChar ? Parity.ReplaceChar() : 0;
    Block.EvtChar = Line.EventChar;
    return Block;
}

TDeviceTimeouts BuildDeviceTimeouts(const TComTimeouts& Timeouts) {
    return {static_cast<uint32_t>(Timeouts.ReadInterval()), static_cast<uint32_t>(Timeouts.ReadTotalMultiplier()),
            static_cast<uint32_t>(Timeouts.ReadTotalConstant()), static_cast<uint32_t>(Timeouts.WriteTotalMultiplier()),
            static_cast<uint32_t>(Timeouts.WriteTotalConstant())};
}
