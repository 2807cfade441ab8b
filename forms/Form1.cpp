// SPDX-License-Identifier: MIT
#include "Form1.h"

#include "Catalog.h"
#include "Registry.h"

namespace quill::forms {
namespace {

constexpr ControlDesc controls[] = {
    // Keeps its fixed offset from the top-left corner of the screen; it is not centred.
    {.name = "Label1", .kind = Kind::Label,
     .caption = N_("Please Wait While Your Computer Shuts Down"),
     .rect = {3960, 3960, 5175, 1815}, .tabIndex = 0, .backColour = colours::Desktop,
     .foreColour = colours::HighlightText, .font = Font{.points = 24}},
};

static_assert(hasUniqueNames(controls) && hasUniqueTabIndices(controls));

constexpr WindowDesc window{
    .name = "Form1",
    .caption = "Form1",
    .border = Border::None,
    .state = WindowState::Maximized,
    .startUp = StartUpPosition::SystemDefault,
    .showInTaskbar = false,
    .backColour = colours::Desktop,
    .client = {60, 345, 8055, 6330},
    .icon = Picture::ProgramIcon,
    .controls = controls,
};

} // namespace

Form1::Form1() : Form(window)
{
    on("", Event::Click, [this] { Form_Click(); });
    on("Label1", Event::Click, [this] { Label1_Click(); });
}

void Form1::Load()
{
    hide("Form1");
    show("Form2");
}

void Form1::Form_Click() { unload("Form1"); }

void Form1::Label1_Click() { unload("Form1"); }

// The unload always goes ahead.
void Form1::Unload() { show("frmAbout1"); }

// A close request ends the screen as a click does.
void Form1::QueryClose() { unload("Form1"); }

} // namespace quill::forms
