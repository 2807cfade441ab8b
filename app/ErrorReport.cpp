// SPDX-License-Identifier: MIT
#include "ErrorReport.h"

#include "Backend.h"
#include "Catalog.h"
#include "Registry.h"

#include <string>
#include <utility>
#include <vector>

namespace quill {
namespace {

ErrorPresenter &presenter()
{
    static ErrorPresenter p;
    return p;
}

int g_running = 0; // handlers running: more than one only while a waiting one is let in
std::vector<std::function<void()>> g_waiting;

} // namespace

std::string reportText(const RuntimeError &error)
{
    // The error's own details stay in the program's words.
    std::string text = trFormat("Run-time error '%s':", {std::to_string(error.number())});
    text += "\n\n";
    text += tr(describe(error.code()));
    if (!error.detail().empty())
        text += " (" + error.detail() + ')';
    return text;
}

void reportError(const RuntimeError &error)
{
    if (presenter()) {
        presenter()(error);
        return;
    }
    backend().showMessage(reportText(error));
}

ErrorPresenter setErrorPresenter(ErrorPresenter p)
{
    ErrorPresenter old = std::move(presenter());
    presenter() = std::move(p);
    return old;
}

bool reportAndGoOn(const std::function<void()> &steps)
{
    try {
        steps();
        return true;
    } catch (const RuntimeError &error) {
        reportError(error);
        return false;
    }
}

bool handlerRunning() { return g_running > 0; }

void endOnError(const std::function<void()> &steps)
{
    try {
        steps();
    } catch (const RuntimeError &error) {
        reportError(error);
        Registry::current().endProgram(1);
    } catch (const std::exception &other) {
        reportError(RuntimeError(ErrorCode::ObjectRequired, other.what()));
        Registry::current().endProgram(1);
    }
}

void deliver(const std::function<void()> &handler)
{
    if (g_running > 0) {
        g_waiting.push_back(handler);
        return;
    }
    {
        struct Running {
            Running() { ++g_running; }
            ~Running() { --g_running; }
        } running;
        endOnError(handler);
    }
    if (!g_waiting.empty()) {
        backend().post([waiting = std::exchange(g_waiting, {})] {
            for (const auto &next : waiting)
                deliver(next);
        });
    }
}

} // namespace quill
