// SPDX-License-Identifier: MIT
#include "Dpi.h"

namespace quill::win32 {
namespace {

// An entry of a system library, or null where this Windows has none.
template <typename F>
F lookUp(const wchar_t *library, const char *name)
{
    HMODULE module = GetModuleHandleW(library);
    if (!module)
        module = LoadLibraryW(library);
    if (!module)
        return nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

using SetContextFn = BOOL(WINAPI *)(HANDLE);
using ThreadContextFn = HANDLE(WINAPI *)();
using SameContextFn = BOOL(WINAPI *)(HANDLE, HANDLE);
using DpiForWindowFn = UINT(WINAPI *)(HWND);
using DpiForMonitorFn = HRESULT(WINAPI *)(HMONITOR, int, UINT *, UINT *);
using AdjustForDpiFn = BOOL(WINAPI *)(LPRECT, DWORD, BOOL, DWORD, UINT);
using MetricForDpiFn = int(WINAPI *)(int, UINT);

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
const HANDLE PerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4));

} // namespace

void becomeDpiAware()
{
    static const auto setContext = lookUp<SetContextFn>(L"user32.dll", "SetProcessDpiAwarenessContext");
    if (setContext && setContext(PerMonitorAwareV2))
        return;
    // The manifest may have made the process aware already; then this changes nothing.
    SetProcessDPIAware();
}

UINT systemDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

UINT dpiOf(HWND window)
{
    static const auto forWindow = lookUp<DpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
    if (forWindow && window)
        if (const UINT dpi = forWindow(window))
            return dpi;
    return systemDpi();
}

UINT dpiOf(HMONITOR monitor)
{
    static const auto forMonitor = lookUp<DpiForMonitorFn>(L"shcore.dll", "GetDpiForMonitor");
    UINT x = 0, y = 0;
    if (forMonitor && monitor && SUCCEEDED(forMonitor(monitor, 0 /* MDT_EFFECTIVE_DPI */, &x, &y))
        && y > 0)
        return y;
    return systemDpi();
}

bool framesFollowDpi()
{
    // The thread's context is the one its windows are made in.
    static const auto threadContext =
        lookUp<ThreadContextFn>(L"user32.dll", "GetThreadDpiAwarenessContext");
    static const auto same = lookUp<SameContextFn>(L"user32.dll", "AreDpiAwarenessContextsEqual");
    return threadContext && same && same(threadContext(), PerMonitorAwareV2);
}

RECT frameAround(const RECT &client, DWORD style, DWORD exStyle, UINT dpi)
{
    static const auto adjust = lookUp<AdjustForDpiFn>(L"user32.dll", "AdjustWindowRectExForDpi");
    const UINT drawnAt = framesFollowDpi() ? dpi : systemDpi();
    RECT frame = client;
    if (!adjust || !adjust(&frame, style, FALSE, exStyle, drawnAt)) {
        frame = client;
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    }
    return frame;
}

int systemMetric(int index, UINT dpi)
{
    static const auto metric = lookUp<MetricForDpiFn>(L"user32.dll", "GetSystemMetricsForDpi");
    if (metric)
        return metric(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(systemDpi()));
}

} // namespace quill::win32
