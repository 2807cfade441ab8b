// SPDX-License-Identifier: MIT
#include "Registry.h"

#include "Backend.h"
#include "ErrorReport.h"
#include "Form.h"
#include "RuntimeError.h"


namespace quill {
namespace {
Registry *g_current = nullptr;
constexpr const char *StartupWindow = "Form1";
}

Registry::Registry() : m_previous(g_current) { g_current = this; }

Registry::~Registry()
{
    // Windows still loaded when the program ends go without their Unload handlers, as when a
    // process is ended.
    for (auto &[name, form] : m_slots)
        if (form)
            form->destroy(true);
    m_slots.clear();
    g_current = m_previous;
}

Registry &Registry::current()
{
    if (!g_current)
        throw RuntimeError(ErrorCode::ObjectRequired, "no window registry");
    return *g_current;
}

void Registry::define(std::string_view name, Factory factory)
{
    m_factories.insert_or_assign(std::string(name), std::move(factory));
}

Form &Registry::window(std::string_view name)
{
    auto slot = m_slots.find(name);
    if (slot != m_slots.end())
        return *slot->second;
    auto factory = m_factories.find(name);
    if (factory == m_factories.end())
        throw RuntimeError(ErrorCode::ObjectRequired, std::string(name));
    auto form = factory->second();
    Form &ref = *form;
    m_slots.emplace(std::string(name), std::move(form));
    return ref;
}

void Registry::load(std::string_view name)
{
    Form &form = window(name);
    if (!form.isLoaded())
        form.load();
}

void Registry::show(std::string_view name)
{
    Form &form = window(name);
    if (!form.isLoaded())
        form.load();
    // The Load handler may have unloaded the window again; then there is nothing to show.
    if (form.isLoaded())
        form.makeVisible();
}

void Registry::hide(std::string_view name)
{
    Form &form = window(name);
    if (!form.isLoaded())
        form.load();
    if (form.isLoaded())
        form.makeHidden();
}

void Registry::unload(std::string_view name)
{
    Form &form = window(name);
    // An Unload handler that unloads its own window again has nothing more to do.
    if (!form.isLoaded() || form.isUnloading())
        return;
    form.runUnload();
    // The Unload handler never cancels, but it may have unloaded the window itself.
    if (form.isLoaded())
        form.destroy();
    if (loadedCount() == 0)
        endProgram(0);
}

bool Registry::isLoaded(std::string_view name) const
{
    auto slot = m_slots.find(name);
    return slot != m_slots.end() && slot->second->isLoaded();
}

bool Registry::isVisible(std::string_view name) const
{
    auto slot = m_slots.find(name);
    return slot != m_slots.end() && slot->second->isVisible();
}

int Registry::loadedCount() const
{
    int count = 0;
    for (const auto &[name, form] : m_slots)
        count += form->isLoaded() ? 1 : 0;
    return count;
}

void Registry::setEndHandler(EndHandler handler) { m_end = std::move(handler); }

void Registry::endProgram(int exitCode)
{
    if (m_ended)
        return;
    m_ended = true;
    if (m_end)
        m_end(exitCode);
}

void Registry::retire(std::unique_ptr<NativeWindow> window)
{
    backend().post([leaving = window->lifetime()] {
        if (auto window = leaving.lock())
            (*window)->unmap();
    });
    backend().dispose(std::move(window));
}

void Registry::setTrace(Trace trace) { m_trace = std::move(trace); }

void Registry::trace(const std::string &event) const
{
    if (m_trace)
        m_trace(event);
}

bool startUp(Registry &registry, const std::function<void()> &then)
{
    deliver([&] { registry.load(StartupWindow); });
    if (then && !registry.hasEnded())
        deliver(then);
    return !registry.hasEnded();
}

void show(std::string_view name) { Registry::current().show(name); }
void hide(std::string_view name) { Registry::current().hide(name); }
void unload(std::string_view name) { Registry::current().unload(name); }

} // namespace quill
