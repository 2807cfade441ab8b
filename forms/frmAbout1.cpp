// SPDX-License-Identifier: MIT
#include "frmAbout1.h"

#include "Catalog.h"
#include "Registry.h"
#include "SystemServices.h"
#include "sysinfo/SysInfo.h"

namespace quill::forms {
namespace {

constexpr ControlDesc controls[] = {
    {.name = "Picture1", .kind = Kind::PictureBox, .rect = {3720, 360, 1935, 1815},
     .tabIndex = 1, .picture = Picture::QuestionMark},
    {.name = "cmdOK", .kind = Kind::CommandButton, .caption = N_("OK"),
     .rect = {4320, 3120, 1260, 345}, .tabIndex = 0, .isDefault = true, .isCancel = true},
    {.name = "lblDisclaimer", .kind = Kind::Label,
     .caption = N_("Warning: This program was a prank and none of the things it said it did to "
                   "your computer have been done."),
     .rect = {120, 2640, 3870, 825}, .tabIndex = 5, .foreColour = colours::Black},
    {.name = "lblDescription", .kind = Kind::Label,
     // TRANSLATORS: the doubled space is the English text's own slip; do not copy it.
     .caption = N_("You have been hit by a  prank. This has not done any harm to your computer "
                   "or your files."),
     .rect = {120, 1200, 3285, 1170}, .tabIndex = 4, .foreColour = colours::Black},
    // TRANSLATORS: Quillendor is the program's name: it stays as it is.
    {.name = "lblVersion", .kind = Kind::Label, .caption = N_("Prank Name: Quillendor"),
     .rect = {120, 720, 3405, 225}, .tabIndex = 3},
    {.name = "lblTitle", .kind = Kind::Label, .caption = "Brindlewick",
     .rect = {120, 120, 3405, 480}, .tabIndex = 2, .foreColour = colours::Black,
     .font = Font{.points = 12, .weight = Weight::Bold}},
    // Grey above white: one etched rule between the description and the disclaimer.
    {.name = "Line1", .index = 1, .kind = Kind::Line, .x1 = 90, .y1 = 2445, .x2 = 5654,
     .y2 = 2445, .lineColour = colours::Grey, .lineWidth = 1,
     .lineStyle = LineStyle::InsideSolid},
    {.name = "Line1", .index = 0, .kind = Kind::Line, .x1 = 105, .y1 = 2460, .x2 = 5654,
     .y2 = 2460, .lineColour = colours::White, .lineWidth = 2, .lineStyle = LineStyle::Solid},
};

static_assert(hasUniqueNames(controls) && hasUniqueTabIndices(controls));

constexpr WindowDesc window{
    .name = "frmAbout1",
    .caption = "Quillendor",
    .border = Border::FixedDialog,
    .startUp = StartUpPosition::Manual,
    .maxButton = false,
    .minButton = false,
    .showInTaskbar = false,
    .client = {2340, 1935, 5730, 3555},
    .icon = Picture::ProgramIcon,
    .controls = controls,
};

} // namespace

frmAbout1::frmAbout1() : Form(window) { on("cmdOK", Event::Click, [this] { cmdOK_Click(); }); }

// Also Enter and Esc.
void frmAbout1::cmdOK_Click()
{
    unload("Form1");
    unload("Form2");
    unload("Form3");
    unload("frmAbout1");
}

// Closing the dialog is OK: unloading the dialog alone would leave the hidden startup window of the
// timed road loaded, and the program running with no window.
void frmAbout1::QueryClose() { cmdOK_Click(); }

} // namespace quill::forms

namespace quill::forms {

void frmAbout1::StartSysInfo() { sysinfo::StartSysInfo(systemServices()); }

bool frmAbout1::GetKeyValue(std::uint32_t KeyRoot, const std::string &KeyName,
                            const std::string &SubKeyRef, std::string &KeyVal)
{
    return sysinfo::GetKeyValue(systemServices(), KeyRoot, KeyName, SubKeyRef, KeyVal);
}

} // namespace quill::forms
