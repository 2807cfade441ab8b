// SPDX-License-Identifier: MIT
#pragma once

// Fills a registry with the program's four windows.

namespace quill {
class Registry;
}

namespace quill::forms {

void defineWindows(Registry &registry);

} // namespace quill::forms
