// Test program: "RvTestSleeper.exe <milliseconds> [exit code]" sleeps, then
// ends with the exit code (0 when none is given).
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    Sleep(argc > 1 ? static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)) : 0);
    return argc > 2 ? std::atoi(argv[2]) : 0;
}
