// SPDX-License-Identifier: MIT
#pragma once

// The runtime's backend on Qt Widgets: windows are QtWindows, the next turn of the event loop is a
// queued call, the message box is the program's QMessageBox. Installed by prepareApplication().

#include "Backend.h"

namespace quill {

class QtBackend final : public Backend {
public:
    std::unique_ptr<NativeWindow> createWindow(const WindowDesc &description,
                                               const WindowLayout &layout,
                                               WindowEvents events) override;
    void dispose(std::unique_ptr<NativeWindow> window) override;
    void post(std::function<void()> step) override;
    std::vector<Monitor> monitors() const override;
    Colour systemColour(int index) const override;
    PixelSize textExtent(Kind kind, std::string_view text, const Font &font, double scale,
                         double dpi, int width) const override;
    char32_t decimalSeparator() const override;
    void showMessage(const std::string &text) override;
    std::vector<std::string> variablesSetForThisProgram() const override;
};

} // namespace quill
