#include "Taskbar.h"

#include <QGuiApplication>
#include <QWidget>

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
    // Set on the window before it is mapped; Qt adds its own states (full screen, above) to
    // these when it maps the window.
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = intern(c, "_NET_WM_STATE");
    const xcb_atom_t skip[] = {intern(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                               intern(c, "_NET_WM_STATE_SKIP_PAGER")};
    if (state == XCB_ATOM_NONE || skip[0] == XCB_ATOM_NONE || skip[1] == XCB_ATOM_NONE)
        return;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, 2, skip);
    xcb_flush(c);
#else
    Q_UNUSED(window);
#endif
}

} // namespace quill
