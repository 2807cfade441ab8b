// SPDX-License-Identifier: MIT
#include "Startup.h"

#include "Dpi.h"
#include "Registry.h"
#include "Win32Backend.h"

#include <commctrl.h>

namespace quill::win32 {

int run(HINSTANCE instance, const std::function<void(Registry &)> &defineWindows)
{
    becomeDpiAware();
    // The version 6 controls the manifest asks for.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    Win32Backend backend(instance);
    setBackend(&backend);
    int status = 0;
    {
        Registry registry;
        defineWindows(registry);
        registry.setEndHandler([&](int code) {
            status = code;
            backend.end();
        });
        if (startUp(registry))
            backend.run();
    }
    setBackend(nullptr);
    return status;
}

} // namespace quill::win32
