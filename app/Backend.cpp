// SPDX-License-Identifier: MIT
#include "Backend.h"

#include "RuntimeError.h"

namespace quill {
namespace {
Backend *g_backend = nullptr;
}

Backend &backend()
{
    if (!g_backend)
        throw RuntimeError(ErrorCode::ObjectRequired, "no windowing backend");
    return *g_backend;
}

void setBackend(Backend *backend) { g_backend = backend; }

} // namespace quill
