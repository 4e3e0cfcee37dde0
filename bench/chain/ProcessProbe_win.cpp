// Prints what Windows reports about running processes, found by exe name:
//
//   ProcessProbe NAME.exe...
//
// one line per process found:
//   process name=NAME pid=N private=BYTES handles=N
// private: the committed private memory, summed over the process's address
// space with VirtualQueryEx (what Windows counts as PrivateUsage; Wine's
// GetProcessMemoryInfo leaves that field empty for other processes).
// handles: the process's handles in the system's handle table (Wine answers
// GetProcessHandleCount for other processes with 0).
// Exit status 1 when a name matched no process.
#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {
// Closes a kernel handle when it goes out of scope.
class THandleOwner {
public:
    explicit THandleOwner(HANDLE Handle) : FHandle(Handle) {}
    ~THandleOwner() {
        if (FHandle && FHandle != INVALID_HANDLE_VALUE)
            CloseHandle(FHandle);
    }
    THandleOwner(const THandleOwner&) = delete;
    THandleOwner& operator=(const THandleOwner&) = delete;
    HANDLE Get() const { return FHandle; }

private:
    HANDLE FHandle;
};

// The system's handle table as NtQuerySystemInformation returns it.
constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
struct THandleEntry {
    ULONG OwnerPid;
    BYTE ObjectType;
    BYTE HandleFlags;
    USHORT HandleValue;
    PVOID ObjectPointer;
    ACCESS_MASK AccessMask;
};
struct THandleTable {
    ULONG Count;
    THandleEntry Handles[1];
};

long HandlesOf(DWORD Pid) {
    std::vector<BYTE> Buffer(1 << 16);
    NTSTATUS Status;
    while ((Status = NtQuerySystemInformation(kSystemHandleInformation, Buffer.data(), static_cast<ULONG>(Buffer.size()),
                                              nullptr)) == kInfoLengthMismatch)
        Buffer.resize(Buffer.size() * 2);
    if (Status < 0)
        return -1;
    const auto* Table = reinterpret_cast<const THandleTable*>(Buffer.data());
    long Count = 0;
    for (ULONG Index = 0; Index < Table->Count; ++Index)
        Count += Table->Handles[Index].OwnerPid == Pid;
    return Count;
}

unsigned long long PrivateCommitted(HANDLE Process) {
    unsigned long long Total = 0;
    MEMORY_BASIC_INFORMATION Region;
    for (const char* At = nullptr; VirtualQueryEx(Process, At, &Region, sizeof Region) == sizeof Region;
         At = static_cast<const char*>(Region.BaseAddress) + Region.RegionSize)
        if (Region.State == MEM_COMMIT && Region.Type == MEM_PRIVATE)
            Total += Region.RegionSize;
    return Total;
}

bool Report(const PROCESSENTRY32& Entry) {
    THandleOwner Process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, Entry.th32ProcessID));
    if (!Process.Get())
        return false;
    std::printf("process name=%s pid=%lu private=%llu handles=%ld\n", Entry.szExeFile, Entry.th32ProcessID,
                PrivateCommitted(Process.Get()), HandlesOf(Entry.th32ProcessID));
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    int Missing = 0;
    for (int Arg = 1; Arg < argc; ++Arg) {
        THandleOwner Snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32 Entry{};
        Entry.dwSize = sizeof Entry;
        bool Found = false;
        for (BOOL More = Process32First(Snapshot.Get(), &Entry); More; More = Process32Next(Snapshot.Get(), &Entry))
            if (_stricmp(Entry.szExeFile, argv[Arg]) == 0)
                Found = Report(Entry) || Found;
        if (!Found) {
            std::printf("missing name=%s\n", argv[Arg]);
            ++Missing;
        }
    }
    std::fflush(stdout);
    return Missing ? 1 : 0;
}
