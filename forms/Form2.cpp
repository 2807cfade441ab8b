// SPDX-License-Identifier: MIT
#include "Form2.h"

#include "Catalog.h"
#include "ErrorReport.h"
#include "Registry.h"
#include "Runtime.h"
#include "RuntimeError.h"

namespace quill::forms {
namespace {

constexpr Font Bold13_5{.points = 13.5, .weight = Weight::Bold};
constexpr Font Bold9_75{.points = 9.75, .weight = Weight::Bold};
constexpr Font Regular9_75{.points = 9.75};
constexpr Font Bold18{.points = 18, .weight = Weight::Bold};

constexpr ControlDesc controls[] = {
    {.name = "Check2", .kind = Kind::CheckBox, .caption = N_("Timer"),
     .rect = {3000, 2640, 1815, 255}, .tabIndex = 11, .value = 0},
    {.name = "Command4", .kind = Kind::CommandButton, .caption = "<",
     .rect = {1200, 2880, 375, 195}, .tabIndex = 8, .labelledBy = "Label5"},
    {.name = "Command3", .kind = Kind::CommandButton, .caption = ">",
     .rect = {1200, 2520, 375, 195}, .tabIndex = 7, .labelledBy = "Label4"},
    // Only the box fits the width; Label8 stands beside it with the caption.
    // TRANSLATORS: no delay: the fake screen comes at once.
    {.name = "Check1", .kind = Kind::CheckBox, .caption = N_("None"),
     .rect = {120, 3240, 255, 255}, .tabIndex = 6, .labelledBy = "Label8", .value = 0},
    {.name = "Text1", .kind = Kind::TextBox, .caption = "5",
     .rect = {120, 2640, 855, 285}, .tabIndex = 4, .labelledBy = "Label3"},
    {.name = "Timer1", .kind = Kind::Timer, .enabled = false, .interval = 0},
    {.name = "Command2", .kind = Kind::CommandButton, .caption = N_("Cancel"),
     .rect = {120, 3960, 1575, 435}, .tabIndex = 3, .font = Bold13_5},
    {.name = "Command1", .kind = Kind::CommandButton, .caption = N_("Start"),
     .rect = {4200, 3960, 1575, 435}, .tabIndex = 2, .font = Bold13_5},
    {.name = "Label8", .kind = Kind::Label, .caption = N_("None"),
     .rect = {480, 3240, 615, 255}, .tabIndex = 14},
    // TRANSLATORS: "certen" is a misspelling of "certain" that the English text keeps.
    {.name = "Label7", .kind = Kind::Label,
     .caption = N_("If you tick the timer box the screen that fakes a shut down will close after a "
                   "certen time rather than someone clicking the screen."),
     .rect = {3000, 3000, 2775, 855}, .tabIndex = 13},
    // TRANSLATORS: the heading of how the fake screen ends: by a click, or by the timer.
    {.name = "Label6", .kind = Kind::Label, .caption = N_("Ending"),
     .rect = {3000, 2280, 1455, 255}, .tabIndex = 12, .font = Bold9_75},
    // TRANSLATORS: beside the button that takes five seconds off the delay.
    {.name = "Label5", .kind = Kind::Label, .caption = N_("DOWN"),
     .rect = {1680, 2880, 615, 255}, .tabIndex = 10},
    // TRANSLATORS: beside the button that adds five seconds to the delay.
    {.name = "Label4", .kind = Kind::Label, .caption = N_("UP"),
     .rect = {1680, 2520, 495, 255}, .tabIndex = 9},
    {.name = "Label3", .kind = Kind::Label, .caption = N_("Seconds"),
     .rect = {120, 2280, 1455, 255}, .tabIndex = 5, .font = Bold9_75},
    {.name = "Label2", .kind = Kind::Label,
     .caption = N_("This prank will fake a shut down until the user clicks the screen. To start "
                   "this prank choose one of the time settings below. This will be how long until "
                   "the shut down screen is shown. You can either type in a time until it starts "
                   "or check the box that says none to start it right away"),
     .rect = {120, 720, 4935, 1455}, .tabIndex = 1, .font = Regular9_75},
    {.name = "Label1", .kind = Kind::Label, .caption = "Quillendor",
     .rect = {840, 120, 3735, 495}, .tabIndex = 0, .font = Bold18},
};

static_assert(hasUniqueNames(controls) && hasUniqueTabIndices(controls));
static_assert(fitsInSixteenBits(controls) && labelsExist(controls));

constexpr WindowDesc window{
    .name = "Form2",
    .caption = "Quillendor",
    .border = Border::FixedSingle,
    .startUp = StartUpPosition::CenterScreen,
    .maxButton = false,
    .minButton = false,
    .showInTaskbar = true,
    .client = {45, 330, 5910, 4560},
    .icon = Picture::ProgramIcon,
    .controls = controls,
};

} // namespace

Form2::Form2() : Form(window)
{
    on("Check1", Event::Click, [this] { Check1_Click(); });
    on("Command1", Event::Click, [this] { Command1_Click(); });
    on("Command2", Event::Click, [this] { Command2_Click(); });
    on("Command3", Event::Click, [this] { Command3_Click(); });
    on("Command4", Event::Click, [this] { Command4_Click(); });
    on("Timer1", Event::Timer, [this] { Timer1_Timer(); });
}

// "None"
void Form2::Check1_Click()
{
    if (Check1.value() == 1)
        Text1.setText("0");
    if (Check1.value() == 0)
        Text1.setText("5");
}

// A delay the program cannot use is reported, and the dialog goes on exactly as it was: a typo
// must not end the prank before it has begun.

// ">"
void Form2::Command3_Click()
{
    reportAndGoOn([this] {
        const auto n = toInteger(Text1.text());
        if (n < 60)
            Text1.setText(toText(n + 5));
    });
}

// "<"
void Form2::Command4_Click()
{
    reportAndGoOn([this] {
        const auto n = toInteger(Text1.text());
        if (n > 9)
            Text1.setText(toText(n - 5));
    });
}

// "Start"
void Form2::Command1_Click()
{
    if (Check2.value() == 1) {
        show("Form3");
        unload("Form2");
        return;
    }
    if (Check1.value() == 1) {
        show("Form1");
        unload("Form2");
        return;
    }
    const bool delayStarted = reportAndGoOn([this] {
        Timer1.setInterval(DelayInterval(Text1.text(), userDecimalSeparator()));
        Timer1.setEnabled(true);
    });
    if (delayStarted)
        hide("Form2");
}

std::int32_t Form2::DelayInterval(std::string_view seconds, char32_t decimalSeparator)
{
    const std::int32_t interval =
        toLong(checkedAdd(checkedMultiply(textToDouble(seconds, decimalSeparator), 1000), 1));
    // An interval of 0 would leave an enabled timer that never fires behind a hidden dialog:
    // an invisible process nobody can end. It is refused like any interval out of range.
    if (interval <= 0 || interval > 65535)
        throw RuntimeError(ErrorCode::InvalidPropertyValue);
    return interval;
}

void Form2::StartAsAsked(StartWith how, std::string_view seconds)
{
    hide("Form2");
    Check1.setValue(how == StartWith::Now ? 1 : 0);
    Check2.setValue(how == StartWith::Timer ? 1 : 0);
    if (how == StartWith::Delay)
        Text1.setText(seconds);
    Command1_Click();
}

// "Cancel"
void Form2::Command2_Click()
{
    unload("Form1");
    unload("Form2");
    unload("Form3");
    unload("frmAbout1");
}

void Form2::Timer1_Timer()
{
    show("Form1");
    unload("Form2");
    Timer1.setEnabled(false);
}

// Closing the dialog is Cancel: unloading the dialog alone would leave the hidden shutdown screen
// loaded, and the program running with no window.
void Form2::QueryClose() { Command2_Click(); }

} // namespace quill::forms
