#include "Forms.h"

#include "Form1.h"
#include "Form2.h"
#include "Registry.h"

namespace quill::forms {
namespace {

// Stand-ins for the timed screen and the reveal dialog until they are built: blank windows, so
// every road through the program can already run.
constexpr WindowDesc form3Description{.name = "Form3", .caption = "Form3",
                                      .border = Border::None, .state = WindowState::Maximized,
                                      .showInTaskbar = false, .backColour = colours::Desktop,
                                      .client = {120, 690, 9480, 7515}};
constexpr WindowDesc aboutDescription{.name = "frmAbout1", .caption = "Quillendor",
                                      .border = Border::FixedDialog,
                                      .startUp = StartUpPosition::Manual, .maxButton = false,
                                      .minButton = false, .showInTaskbar = false,
                                      .client = {2340, 1935, 5730, 3555},
                                      .icon = Picture::ProgramIcon};

class StandIn final : public Form {
public:
    using Form::Form;
};

} // namespace

void defineWindows(Registry &registry)
{
    registry.define("Form1", [] { return std::make_unique<Form1>(); });
    registry.define("Form2", [] { return std::make_unique<Form2>(); });
    registry.define("Form3", [] { return std::make_unique<StandIn>(form3Description); });
    registry.define("frmAbout1", [] { return std::make_unique<StandIn>(aboutDescription); });
}

} // namespace quill::forms
