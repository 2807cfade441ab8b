// SPDX-License-Identifier: MIT
#pragma once

// Dots per inch, and the functions for them that came after Windows 10's first release (or that
// are not in user32 on every Windows), looked up when first needed: where one is missing or
// refuses, the program goes on at the system's DPI.

#include <windows.h>

namespace quill::win32 {

// Per-monitor awareness (version 2) for the whole process, as the manifest asks; where that is
// refused, at least the system's DPI rather than a bitmap-stretched window.
void becomeDpiAware();

// The DPI a window is laid out at; the system's where Windows cannot say.
UINT dpiOf(HWND window);
// The DPI of a monitor; the system's where Windows cannot say.
UINT dpiOf(HMONITOR monitor);
UINT systemDpi();

// Whether Windows draws the frames of this thread's windows at the DPI of their monitor: with
// per-monitor awareness version 2 (Windows 10 1703 and later). With version 1 alone (Windows 10
// 1607; Wine 8 too) it draws every frame at the system's DPI, wherever the window is.
bool framesFollowDpi();

// The outer rectangle of a window whose client area is `client` at `dpi`, in the frame Windows
// draws for it.
RECT frameAround(const RECT &client, DWORD style, DWORD exStyle, UINT dpi);
int systemMetric(int index, UINT dpi);

} // namespace quill::win32
