// The port's overlapped transfers.
#include "cport/CPort_win.h"

#include <memory>
#include <utility>

#include "cport/ComLastError_win.h"

namespace {
std::unique_ptr<TComTransfer> NewTransfer() {
    auto Transfer = std::make_unique<TComTransfer>();
    Transfer->Event.Reset(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    Transfer->Overlapped.hEvent = Transfer->Event.Get();
    return Transfer;
}
}  // namespace

void TCustomComPort::CreateTransfer(TComTransfer*& Transfer) {
    Transfer = NewTransfer().release();
}

void TCustomComPort::FreeTransfer(TComTransfer*& Transfer) {
    const std::unique_ptr<TComTransfer> Owned(std::exchange(Transfer, nullptr));  // goes with its event
}

int32_t TCustomComPort::WriteBufferAsync(const void* Buffer, int32_t Count, TComTransfer* Transfer) {
    if (!Transfer)
        throw EComPort(ecInvalidAsync);
    Transfer->Kind = tkWrite;
    ++FWrites;
    DWORD Written = 0;
    if (!WriteFile(FHandle.Get(), Buffer, static_cast<DWORD>(Count), &Written, &Transfer->Overlapped) &&
        GetLastError() != ERROR_IO_PENDING)
        RaiseLastError(ecWrite);
    return static_cast<int32_t>(Written);
}

int32_t TCustomComPort::WriteTextAsync(const std::string& Text, TComTransfer* Transfer) {
    if (Text.empty())
        return 0;
    return WriteBufferAsync(Text.data(), static_cast<int32_t>(Text.size()), Transfer);
}

int32_t TCustomComPort::ReadBufferAsync(void* Buffer, int32_t Count, TComTransfer* Transfer) {
    if (!Transfer)
        throw EComPort(ecInvalidAsync);
    Transfer->Kind = tkRead;
    Transfer->Counted = false;
    // With timeouts that say "return at once", Windows completes a read with
    // nothing waiting at once and empty; Wine leaves it pending until a byte
    // arrives. So with nothing waiting the record is completed here, empty.
    if (ReadsReturnAtOnce() && WaitingInput() == 0) {
        Transfer->Overlapped.Internal = 0;  // success
        Transfer->Overlapped.InternalHigh = 0;
        SetEvent(Transfer->Overlapped.hEvent);
        return 0;
    }
    DWORD Read = 0;
    if (ReadFile(FHandle.Get(), Buffer, static_cast<DWORD>(Count), &Read, &Transfer->Overlapped)) {
        // Done at once: the caller need not wait for it.
        FRxArrivals.Consumed(static_cast<int32_t>(Read));
        Transfer->Counted = true;
    } else if (GetLastError() != ERROR_IO_PENDING) {
        RaiseLastError(ecRead);
    }
    return static_cast<int32_t>(Read);
}

int32_t TCustomComPort::ReadTextAsync(std::string& Text, int32_t Count, TComTransfer* Transfer) {
    Text.assign(Count > 0 ? static_cast<size_t>(Count) : 0, '\0');
    if (Count <= 0)
        return 0;
    return ReadBufferAsync(Text.data(), Count, Transfer);
}

int32_t TCustomComPort::WaitForTransfer(TComTransfer* Transfer) {
    if (!Transfer)
        throw EComPort(ecInvalidAsync);
    DWORD Transferred = 0;
    if (WaitForSingleObject(Transfer->Overlapped.hEvent, INFINITE) != WAIT_OBJECT_0 ||
        !GetOverlappedResult(FHandle.Get(), &Transfer->Overlapped, &Transferred, FALSE))
        RaiseLastError(Transfer->Kind == tkWrite ? ecWrite : ecRead);
    if (Transfer->Kind == tkRead) {
        if (!std::exchange(Transfer->Counted, true))
            FRxArrivals.Consumed(static_cast<int32_t>(Transferred));
        PendingInputCount();  // resets the device's error word
    }
    return static_cast<int32_t>(Transferred);
}

int32_t TCustomComPort::WriteText(const std::string& Text) {
    const auto Transfer = NewTransfer();
    WriteTextAsync(Text, Transfer.get());
    return WaitForTransfer(Transfer.get());
}

int32_t TCustomComPort::ReadText(std::string& Text, int32_t Count) {
    const auto Transfer = NewTransfer();
    ReadTextAsync(Text, Count, Transfer.get());
    const int32_t Read = WaitForTransfer(Transfer.get());
    Text.resize(static_cast<size_t>(Read));
    return Read;
}

int32_t TCustomComPort::ReadBuffer(void* Buffer, int32_t Count) {
    const auto Transfer = NewTransfer();
    ReadBufferAsync(Buffer, Count, Transfer.get());
    return WaitForTransfer(Transfer.get());
}

void TCustomComPort::CancelTransfers() {
    if (!FDeviceCalls.PurgeComm(FHandle.Get(), PURGE_TXABORT | PURGE_RXABORT))
        RaiseLastError(ecPurge);
}
