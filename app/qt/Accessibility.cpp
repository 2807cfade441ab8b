// SPDX-License-Identifier: MIT
#include "Accessibility.h"

#include "AccessibleText.h"
#include "Look.h"
#include "Widgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QVariant>

namespace quill {
namespace {

// The role a window's description gives it, kept on the window for its interface to read: Qt may
// ask for the interface while the window is still being built.
constexpr char RoleProperty[] = "quillAccessibleRole";

QAccessible::Role roleOf(const WindowDesc &d)
{
    return windowRole(d) == WindowRole::Dialog ? QAccessible::Dialog : QAccessible::Window;
}

class WindowInterface : public QAccessibleWidget {
public:
    explicit WindowInterface(QWidget *window) : QAccessibleWidget(window, QAccessible::Window) {}

    QAccessible::Role role() const override
    {
        const QVariant role = widget()->property(RoleProperty);
        return role.isValid() ? static_cast<QAccessible::Role>(role.toInt()) : QAccessible::Window;
    }
};

// A label reads as its text, once: as its name, not again as its description.
class LabelInterface : public QAccessibleWidget {
public:
    explicit LabelInterface(LabelWidget *label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return label()->text();
        return QAccessibleWidget::text(t);
    }

    QList<QPair<QAccessibleInterface *, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override
    {
        auto found = QAccessibleWidget::relations(match);
        QWidget *buddy = label()->buddy();
        if ((match & QAccessible::Labelled) && buddy) {
            if (QAccessibleInterface *control = QAccessible::queryAccessibleInterface(buddy))
                found.append({control, QAccessible::Labelled});
        }
        return found;
    }

private:
    LabelWidget *label() const { return static_cast<LabelWidget *>(widget()); }
};

QAccessibleInterface *interfaceFor(const QString &className, QObject *object)
{
    // Qt asks once for each class of an object's ancestry, most derived first.
    if (className == QLatin1String(FormWidget::staticMetaObject.className()))
        return new WindowInterface(static_cast<FormWidget *>(object));
    if (className == QLatin1String(LabelWidget::staticMetaObject.className()))
        return new LabelInterface(static_cast<LabelWidget *>(object));
    if (className == QLatin1String(PictureWidget::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<PictureWidget *>(object), QAccessible::Graphic);
    return nullptr;
}

QWidget *controlWidget(QWidget *window, std::string_view name, int index = -1)
{
    return window->findChild<QWidget *>(controlObjectName(name, index), Qt::FindDirectChildrenOnly);
}

} // namespace

void installAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    QAccessible::installFactory(interfaceFor);
    installed = true;
}

void describeForAssistiveTechnology(QWidget *window, const WindowDesc &description)
{
    window->setProperty(RoleProperty, static_cast<int>(roleOf(description)));
    for (const ControlDesc &c : description.controls) {
        if (c.kind == Kind::PictureBox) {
            if (QWidget *picture = controlWidget(window, c.name, c.index)) {
                const AccessibleText words = accessibleText(description, c);
                picture->setAccessibleName(toQString(words.name));
                picture->setAccessibleDescription(toQString(words.description));
            }
        }
        if (c.labelledBy.empty())
            continue;
        auto *label = qobject_cast<LabelWidget *>(controlWidget(window, c.labelledBy));
        QWidget *control = controlWidget(window, c.name, c.index);
        if (label && control)
            label->setBuddy(control);
    }
}

} // namespace quill
