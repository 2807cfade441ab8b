// SPDX-License-Identifier: MIT
#include "Taskbar.h"

#include <QGuiApplication>
#include <QWidget>

#include <algorithm>
#include <vector>

#if __has_include(<xcb/xcb.h>) && QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#define QUILL_HAVE_XCB 1
#endif

namespace quill {

#ifdef QUILL_HAVE_XCB
namespace {

xcb_atom_t intern(xcb_connection_t *c, const char *name)
{
    const auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(qstrlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookie, nullptr);
    xcb_atom_t atom = XCB_ATOM_NONE;
    if (reply)
        atom = reply->atom;
    free(reply);
    return atom;
}

} // namespace
#endif

void keepOutOfTaskbar(QWidget *window)
{
#ifdef QUILL_HAVE_XCB
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t *c = x11->connection();
    // Set on the window before it is mapped. Qt reads the property back when it changes and takes
    // the window's state from it, so the states Qt asks for itself when it maps the window go in
    // too: a full-screen window stays full screen, one that stays on top stays on top.
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = intern(c, "_NET_WM_STATE");
    std::vector<const char *> names{"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"};
    if (window->windowState() & Qt::WindowFullScreen)
        names.push_back("_NET_WM_STATE_FULLSCREEN");
    if (window->windowFlags() & Qt::WindowStaysOnTopHint) {
        names.push_back("_NET_WM_STATE_ABOVE");
        names.push_back("_NET_WM_STATE_STAYS_ON_TOP");
    }
    std::vector<xcb_atom_t> atoms;
    for (const char *name : names)
        atoms.push_back(intern(c, name));
    if (state == XCB_ATOM_NONE
        || std::find(atoms.begin(), atoms.end(), XCB_ATOM_NONE) != atoms.end())
        return;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(atoms.size()), atoms.data());
    xcb_flush(c);
#else
    Q_UNUSED(window);
#endif
}

} // namespace quill
