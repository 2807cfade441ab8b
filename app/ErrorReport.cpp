// SPDX-License-Identifier: MIT
#include "ErrorReport.h"

#include "MessageBox.h"
#include "Registry.h"

#include <string>

namespace quill {
namespace {

ErrorPresenter &presenter()
{
    static ErrorPresenter p;
    return p;
}

} // namespace

void reportError(const RuntimeError &error)
{
    if (presenter()) {
        presenter()(error);
        return;
    }
    showMessage("Run-time error '" + std::to_string(error.number()) + "':\n\n" + error.what());
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

void deliver(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const RuntimeError &error) {
        reportError(error);
        Registry::current().endProgram(1);
    } catch (const std::exception &other) {
        reportError(RuntimeError(ErrorCode::ObjectRequired, other.what()));
        Registry::current().endProgram(1);
    }
}

} // namespace quill
