// SPDX-License-Identifier: MIT
#include "Form.h"

#include "Catalog.h"
#include "ErrorReport.h"
#include "Layout.h"
#include "Registry.h"

namespace quill {

Form::Form(const WindowDesc &description)
    : m_controls(translated(description.controls)), m_description(description),
      m_self(std::make_shared<Form *>(this))
{
    m_description.controls = m_controls;
}

Form::~Form() { destroy(true); }

bool Form::isVisible() const { return m_native && m_visible; }

const ControlDesc *Form::controlDesc(std::string_view name) const
{
    for (const ControlDesc &c : m_description.controls)
        if (c.name == name)
            return &c;
    return nullptr;
}

Form::TimerState *Form::timerState(std::string_view name)
{
    auto timer = m_timers.find(name);
    return timer == m_timers.end() ? nullptr : &timer->second;
}

void Form::on(std::string_view control, Event event, std::function<void()> handler)
{
    m_bindings.push_back({std::string(control), event, std::move(handler)});
}

void Form::QueryClose() { Registry::current().unload(name()); }

void Form::load()
{
    if (m_native)
        return;
    const WindowDesc &d = m_description;
    Backend &b = backend();
    const Monitor primary = primaryMonitor(b.monitors());
    WindowLayout layout{primary.dpi, fontScale(d, primary.dpi, b), {}};
    layout.frame = isFullScreen(d) ? primary.geometry
                                   : PixelRect{0, 0, toPixels(d.client.width, primary.dpi),
                                               toPixels(d.client.height, primary.dpi)};
    m_timers.clear();
    for (const ControlDesc &c : d.controls)
        if (c.kind == Kind::Timer)
            m_timers.insert_or_assign(std::string(c.name), TimerState{c.interval, c.enabled});

    // Events reach the handlers only while this load lasts: the token dies with the window.
    auto alive = std::make_shared<bool>(true);
    m_alive = alive;
    WindowEvents events{
        [this, alive](std::string_view control, Event event) {
            if (*alive)
                receive(control, event);
        },
        [this, alive] {
            if (*alive)
                deliver([this, alive] {
                    if (*alive)
                        QueryClose();
                });
        },
    };
    m_native = b.createWindow(d, layout, std::move(events));
    m_shownOnce = false;
    m_visible = false;
    Registry::current().trace("Load " + std::string(d.name));
    Load();
}

void Form::receive(std::string_view control, Event event)
{
    for (const Binding &b : m_bindings) {
        if (b.control != control || b.event != event)
            continue;
        deliver([alive = m_alive, handler = b.handler] {
            if (*alive)
                handler();
        });
    }
}

void Form::makeVisible()
{
    if (!m_native)
        return;
    const bool first = !m_shownOnce;
    if (first)
        placeOnFirstShow();
    m_shownOnce = true;
    m_visible = true;
    if (first)
        focusFirstControl();
    if (m_mapPending)
        return;
    m_mapPending = true;
    backend().post([self = std::weak_ptr<Form *>(m_self)] {
        if (auto form = self.lock())
            (*form)->map();
    });
}

void Form::map()
{
    m_mapPending = false;
    if (!m_native || !m_visible)
        return;
    m_native->map();
}

void Form::makeHidden()
{
    m_visible = false;
    if (m_native)
        m_native->unmap();
}

void Form::runUnload()
{
    m_unloading = true;
    struct Reset {
        bool &flag;
        ~Reset() { flag = false; }
    } reset{m_unloading};
    Registry::current().trace("Unload " + std::string(m_description.name));
    Unload();
}

void Form::destroy(bool now)
{
    if (!m_native)
        return;
    std::unique_ptr<NativeWindow> window = std::move(m_native);
    m_visible = false;
    if (m_alive)
        *m_alive = false;
    m_timers.clear();
    window->stopTimers();
    if (now)
        return;
    // It may be the window whose event is being handled right now.
    Registry::current().retire(std::move(window));
}

void Form::placeOnFirstShow()
{
    const std::optional<PixelRect> placed =
        firstPlace(m_description, primaryMonitor(backend().monitors()));
    if (placed)
        m_native->place(*placed);
}

void Form::focusFirstControl()
{
    const std::vector<const ControlDesc *> order = tabOrder(m_description);
    if (!order.empty())
        m_native->focus(order.front()->name);
}

} // namespace quill
