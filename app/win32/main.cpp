// SPDX-License-Identifier: MIT
#include "Forms.h"
#include "Startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    return quill::win32::run(instance, quill::forms::programWindows(), quill::win32::arguments());
}
