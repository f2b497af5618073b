// What a person and a screen reader are told beyond the drawn controls: spoken names, tooltips
// that are also descriptions, and the indicator line of the follow mode.
#include "host/WindowParts.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

void HostWindow::SetControlName(int number, const QString& name)
{
    if (ControlEntry* entry = impl_->Find(number)) {
        entry->widget->setAccessibleName(name);
    }
}

void HostWindow::BindToolTip(int watched, int shownOn, std::function<QString()> source)
{
    const ControlEntry* from = impl_->Find(watched);
    ControlEntry* to = impl_->Find(shownOn);
    if (!from || !to) {
        return;
    }
    QWidget* target = to->widget;
    // A screen reader reads the same text as the control's description.
    auto update = [target, source = std::move(source)] {
        const QString text = source();
        target->setToolTip(text);
        target->setAccessibleDescription(text);
    };
    if (auto* slider = qobject_cast<QSlider*>(from->widget)) {
        QObject::connect(slider, &QSlider::valueChanged, target, update);
    } else if (auto* field = qobject_cast<QLineEdit*>(from->widget)) {
        QObject::connect(field, &QLineEdit::textChanged, target, update);
    }
    to->toolTipUpdates.push_back(update);
    update();
}

void HostWindow::RefreshToolTip(int shownOn)
{
    if (const ControlEntry* entry = impl_->Find(shownOn)) {
        for (const std::function<void()>& update : entry->toolTipUpdates) {
            update();
        }
    }
}

void HostWindow::ShowIndicator(int x, int y, int width, int height, const QString& text)
{
    QLabel*& label = impl_->indicator;
    if (!label) {
        label = new QLabel(impl_->window.get());
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(x, y, width, height);
    }
    label->setVisible(!text.isEmpty());
    if (label->text() == text) {
        return;
    }
    label->setText(text);
    label->setAccessibleName(text);
    // Screen readers hear the new text as they hear a status line change.
    QAccessibleEvent changed(label, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

QString HostWindow::IndicatorText() const
{
    return impl_->indicator ? impl_->indicator->text() : QString();
}
