// SPDX-License-Identifier: MIT
#include "Form3.h"

#include "Catalog.h"
#include "Registry.h"

namespace quill::forms {
namespace {

constexpr ControlDesc controls[] = {
    // Counts from the load, which happens inside the show that puts the screen up.
    {.name = "Timer1", .kind = Kind::Timer, .enabled = true, .interval = 60000},
    {.name = "Label1", .kind = Kind::Label,
     .caption = N_("Please Wait While Your Computer Shuts Down"),
     .rect = {3480, 3720, 5175, 1815}, .tabIndex = 0, .backColour = colours::Desktop,
     .foreColour = colours::HighlightText, .font = Font{.points = 24}},
};

static_assert(hasUniqueNames(controls) && hasUniqueTabIndices(controls));

constexpr WindowDesc window{
    .name = "Form3",
    .caption = "Form3",
    .border = Border::None,
    .state = WindowState::Maximized,
    .startUp = StartUpPosition::SystemDefault,
    .showInTaskbar = false,
    .backColour = colours::Desktop,
    .client = {120, 690, 9480, 7515},
    .icon = Picture::None,
    .controls = controls,
};

} // namespace

Form3::Form3() : Form(window) { on("Timer1", Event::Timer, [this] { Timer1_Timer(); }); }

void Form3::Timer1_Timer()
{
    show("frmAbout1");
    unload("Form3");
}

// Only the timer ends this screen. Closing it otherwise would skip the reveal and leave the hidden
// startup window keeping the program alive with nothing on screen.
void Form3::QueryClose() {}

} // namespace quill::forms
