// SPDX-License-Identifier: MIT
#include "AccessibleText.h"

#include "Catalog.h"

namespace quill {

WindowRole windowRole(const WindowDesc &d)
{
    if (d.border == Border::None)
        return WindowRole::Window;
    if (d.border == Border::FixedDialog || (!d.minButton && !d.maxButton))
        return WindowRole::Dialog;
    return WindowRole::Window;
}

AccessibleText pictureText(Picture picture)
{
    switch (picture) {
    case Picture::QuestionMark:
        return {tr("Question mark"), tr("A blue question mark in a ring")};
    case Picture::ProgramIcon: return {"Quillendor", ""};
    case Picture::None: break;
    }
    return {};
}

AccessibleText accessibleText(const WindowDesc &d, const ControlDesc &c)
{
    if (c.kind == Kind::PictureBox)
        return pictureText(c.picture);
    if (!c.labelledBy.empty())
        for (const ControlDesc &label : d.controls)
            if (label.kind == Kind::Label && label.name == c.labelledBy)
                return {label.caption, ""};
    return {c.caption, ""};
}

} // namespace quill
