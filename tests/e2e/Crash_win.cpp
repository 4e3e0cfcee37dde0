// Crashes on purpose, as a test program with a fault would: its test must
// fail at once.
#include <cstdint>
#include <cstdio>
#include <string>

int main() {
    const std::string Said = "crashing on purpose";
    std::puts(Said.c_str());
    std::fflush(stdout);
    volatile std::uintptr_t Nowhere = 16;  // in the first page, which no program has
    *reinterpret_cast<int*>(Nowhere) = 1;
    return 0;
}
