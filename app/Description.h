// SPDX-License-Identifier: MIT
#pragma once

// The static records every window is built from. A form writes its look down once, as a table in the
// order its controls are created, with positions and sizes in twips; the backend turns the table into
// native windows and controls when the window loads. Nothing here depends on a toolkit, so the
// tables can be checked at compile time.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace quill {

// 1,440 twips to the inch; 15 to a pixel at 96 dots per inch.
using Twips = std::int32_t;

// 0x00BBGGRR, or with the top bit set an index into the system colour scheme.
using Colour = std::uint32_t;

namespace colours {
inline constexpr Colour Desktop = 0x80000001;
inline constexpr Colour HighlightText = 0x8000000E;
inline constexpr Colour ButtonFace = 0x8000000F;
inline constexpr Colour ButtonText = 0x80000012;
inline constexpr Colour WindowBackground = 0x80000005;
inline constexpr Colour WindowText = 0x80000008;
inline constexpr Colour Black = 0x00000000;
inline constexpr Colour Grey = 0x00808080;
inline constexpr Colour White = 0x00FFFFFF;

constexpr bool isSystem(Colour c) { return (c & 0x80000000u) != 0; }
constexpr int systemIndex(Colour c) { return static_cast<int>(c & 0xFFu); }
constexpr int red(Colour c) { return static_cast<int>(c & 0xFFu); }
constexpr int green(Colour c) { return static_cast<int>((c >> 8) & 0xFFu); }
constexpr int blue(Colour c) { return static_cast<int>((c >> 16) & 0xFFu); }
} // namespace colours

enum class Weight : std::int16_t { Regular = 400, Bold = 700 };

struct Font {
    std::string_view face = "MS Sans Serif";
    double points = 8.0;
    Weight weight = Weight::Regular;
};

// The font a control uses when its description names none.
inline constexpr Font DefaultFont{};

enum class Kind { Label, CommandButton, CheckBox, TextBox, Timer, PictureBox, Line };
enum class Border { None, FixedSingle, FixedDialog };
enum class WindowState { Normal, Maximized };
enum class StartUpPosition { Manual, CenterScreen, SystemDefault };
// Inside-solid keeps a thick outline inside a closed shape; on a straight line it draws as solid.
enum class LineStyle { Solid, InsideSolid };

// Pictures are drawn by us and live in resources/; a description names them.
enum class Picture { None, ProgramIcon, QuestionMark };

struct Rect {
    Twips left = 0;
    Twips top = 0;
    Twips width = 0;
    Twips height = 0;
};

struct ControlDesc {
    std::string_view name;
    std::int16_t index = -1; // position in a control array; -1 when the control is not in one
    Kind kind = Kind::Label;
    std::string_view caption; // caption of labels, buttons and check boxes; text of text boxes
    Rect rect;
    std::int16_t tabIndex = -1;
    // The label beside the control that says what it is for: a screen reader names the control by
    // that label's caption. Empty when the control's own caption says it.
    std::string_view labelledBy;
    std::optional<Colour> backColour;
    std::optional<Colour> foreColour;
    std::optional<Font> font;
    bool isDefault = false; // Enter presses it
    bool isCancel = false;  // Esc presses it
    std::int16_t value = 0; // check boxes: 0 unchecked, 1 checked, 2 grayed
    bool enabled = true;    // timers
    std::int32_t interval = 0; // timers, in milliseconds
    Picture picture = Picture::None;
    // Lines
    Twips x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    Colour lineColour = colours::Black;
    std::int16_t lineWidth = 1; // pixels
    LineStyle lineStyle = LineStyle::Solid;
};

struct WindowDesc {
    std::string_view name;
    std::string_view caption;
    Border border = Border::FixedSingle;
    WindowState state = WindowState::Normal;
    StartUpPosition startUp = StartUpPosition::SystemDefault;
    bool maxButton = true;
    bool minButton = true;
    bool showInTaskbar = true;
    std::optional<Colour> backColour;
    Rect client;
    Picture icon = Picture::None;
    std::span<const ControlDesc> controls;
};

// Compile-time checks a form runs over its own table.
constexpr bool hasUniqueTabIndices(std::span<const ControlDesc> controls)
{
    for (std::size_t i = 0; i < controls.size(); ++i)
        for (std::size_t j = i + 1; j < controls.size(); ++j)
            if (controls[i].tabIndex >= 0 && controls[i].tabIndex == controls[j].tabIndex)
                return false;
    return true;
}

constexpr bool hasUniqueNames(std::span<const ControlDesc> controls)
{
    for (std::size_t i = 0; i < controls.size(); ++i)
        for (std::size_t j = i + 1; j < controls.size(); ++j)
            if (controls[i].name == controls[j].name && controls[i].index == controls[j].index)
                return false;
    return true;
}

// Every control paired with a label names a label of the same table.
constexpr bool labelsExist(std::span<const ControlDesc> controls)
{
    for (const auto &c : controls) {
        if (c.labelledBy.empty())
            continue;
        bool found = false;
        for (const auto &label : controls)
            found = found || (label.kind == Kind::Label && label.name == c.labelledBy);
        if (!found)
            return false;
    }
    return true;
}

constexpr bool fitsInSixteenBits(std::span<const ControlDesc> controls)
{
    for (const auto &c : controls)
        for (Twips t : {c.rect.left, c.rect.top, c.rect.width, c.rect.height})
            if (t < -32768 || t > 32767)
                return false;
    return true;
}

} // namespace quill
