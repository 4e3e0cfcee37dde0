#include "dde/DdeHandles_win.h"

#include "dde/DdeNames.h"

TDdeString::TDdeString(DWORD Instance, const std::string& Name)
    : FInstance(Instance), FHandle(DdeCreateStringHandleA(Instance, PlatformName(Name).c_str(), CP_WINANSI)) {}

TDdeString& TDdeString::operator=(TDdeString&& Other) noexcept {
    if (this != &Other) {
        Reset();
        FInstance = Other.FInstance;
        FHandle = std::exchange(Other.FHandle, nullptr);
    }
    return *this;
}

void TDdeString::Reset() {
    if (FHandle)
        DdeFreeStringHandle(FInstance, FHandle);
    FHandle = nullptr;
}
