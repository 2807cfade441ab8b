// SPDX-License-Identifier: MIT
// The benchmark's floor for start-up under Wine: a program that shows one MessageBoxW and ends.
// Built by bench/wine.sh with mingw-w64.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return MessageBoxW(nullptr, L"Start the prank now?", L"Plain message box", MB_OKCANCEL) == IDOK
               ? 0
               : 1;
}
