// SPDX-License-Identifier: MIT
#include "Taskbar.h"

#include <objbase.h>
#include <shobjidl.h>

namespace quill::win32 {

Taskbar::~Taskbar()
{
    if (m_list)
        m_list->Release();
}

void Taskbar::prepare()
{
    if (!m_asked) {
        m_asked = true;
        void *list = nullptr;
        if (SUCCEEDED(CoCreateInstance(__uuidof(TaskbarList), nullptr, CLSCTX_INPROC_SERVER,
                                       __uuidof(ITaskbarList2), &list))) {
            m_list = static_cast<ITaskbarList2 *>(list);
            if (FAILED(m_list->HrInit())) {
                m_list->Release();
                m_list = nullptr;
            }
        }
    }
}

void Taskbar::markFullScreen(HWND window, bool fullScreen)
{
    prepare();
    if (m_list && window)
        m_list->MarkFullscreenWindow(window, fullScreen ? TRUE : FALSE);
}

} // namespace quill::win32
