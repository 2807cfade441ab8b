// SPDX-License-Identifier: MIT
#include "Accessibility.h"

#include "AccessibleText.h"
#include "Text.h"

// The property service's class, interface and property ids are defined here, in the one file that
// uses them.
#include <initguid.h>
#include <objbase.h>
#include <oleacc.h>

#include <string>

namespace quill::win32 {
namespace {

const MSAAPROPID Annotated[] = {PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION, PROPID_ACC_ROLE};

void setRole(IAccPropServices *service, HWND window, long role)
{
    VARIANT v{};
    v.vt = VT_I4;
    v.lVal = role;
    service->SetHwndProp(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_ROLE, v);
}

void setText(IAccPropServices *service, HWND window, const MSAAPROPID &property,
             std::string_view text)
{
    const std::wstring wide = widen(text);
    service->SetHwndPropStr(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, property,
                            wide.c_str());
}

} // namespace

void Accessibility::start()
{
    void *service = nullptr;
    if (!m_service
        && SUCCEEDED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IAccPropServices, &service)))
        m_service = static_cast<IAccPropServices *>(service);
}

Accessibility::~Accessibility()
{
    if (m_service)
        m_service->Release();
}

void Accessibility::describe(HWND window, const WindowDesc &d,
                            std::span<const std::pair<const ControlDesc *, HWND>> controls)
{
    if (!m_service)
        return;
    setRole(m_service, window,
            windowRole(d) == WindowRole::Dialog ? ROLE_SYSTEM_DIALOG : ROLE_SYSTEM_WINDOW);
    for (const auto &[c, control] : controls) {
        const AccessibleText words = accessibleText(d, *c);
        // Windows names the rest by their own texts already.
        if (words.name != c->caption)
            setText(m_service, control, PROPID_ACC_NAME, words.name);
        if (!words.description.empty())
            setText(m_service, control, PROPID_ACC_DESCRIPTION, words.description);
        if (c->kind == Kind::PictureBox)
            setRole(m_service, control, ROLE_SYSTEM_GRAPHIC);
    }
}

void Accessibility::forget(HWND window,
                          std::span<const std::pair<const ControlDesc *, HWND>> controls)
{
    if (!m_service)
        return;
    const auto clear = [&](HWND w) {
        m_service->ClearHwndProps(w, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, Annotated,
                                  static_cast<int>(std::size(Annotated)));
    };
    clear(window);
    for (const auto &[c, control] : controls)
        clear(control);
}

} // namespace quill::win32
