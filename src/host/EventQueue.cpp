// The program's own event queue: what the controls report, the close request and the Return
// key, oldest first; fader handlers run the moment their fader reports. And what the
// user's hand is on: a fader held, a field with typed text.
#include "host/WindowParts.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QShortcut>
#include <QSlider>

void MainWidget::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (onClose) {
        onClose();
    }
}

bool InputWatcher::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
        onFocus(watched, kFocusIn);
        break;
    case QEvent::FocusOut:
        onKeyHeld(watched, false);
        onFocus(watched, kFocusOut);
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        if (!static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
            onKeyHeld(watched, event->type() == QEvent::KeyPress);
        }
        break;
    default:
        break;
    }
    return false;
}

void HostWindow::Impl::Post(EventKind kind, int control, int subtype)
{
    if (settingControl > 0) {
        return;
    }
    const Event event{kind, control, subtype};
    if (queue.empty() || !(queue.back() == event)) {
        queue.push_back(event);
    }
    if (kind == EventKind::Control) {
        const auto found = controls.find(control);
        if (found != controls.end() && subtype != kFocusIn && subtype != kFocusOut) {
            found->second.touched = true;
        }
        if (found != controls.end() && found->second.handler) {
            const std::function<void()> handler = found->second.handler; // may rebind itself
            handler();
        }
    }
}

EventKind HostWindow::Impl::Take()
{
    last = queue.front();
    queue.pop_front();
    return last.kind;
}

EventKind HostWindow::WaitEvent()
{
    if (impl_->queue.empty()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return impl_->queue.empty() ? EventKind::WindowSystem : impl_->Take();
}

EventKind HostWindow::PollEvent()
{
    if (impl_->queue.empty()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    return impl_->queue.empty() ? EventKind::None : impl_->Take();
}

int HostWindow::EventControl() const
{
    return impl_->last.control;
}

void HostWindow::BindControlHandler(int number, std::function<void()> handler)
{
    if (ControlEntry* entry = impl_->Find(number)) {
        entry->handler = std::move(handler);
    }
}

void HostWindow::ArmReturnKey()
{
    if (!impl_->window || !impl_->returnShortcuts.empty()) {
        return;
    }
    for (const Qt::Key qtKey : {Qt::Key_Return, Qt::Key_Enter}) {
        auto shortcut = std::make_unique<QShortcut>(QKeySequence(qtKey), impl_->window.get());
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(true);
        QObject::connect(shortcut.get(), &QShortcut::activated, impl_->window.get(),
                         [this] { impl_->Post(EventKind::Shortcut, 0, kShortcut); });
        impl_->returnShortcuts.push_back(std::move(shortcut));
    }
}

bool HostWindow::UserHolds(int number) const
{
    const ControlEntry* entry = impl_->Find(number);
    if (!entry) {
        return false;
    }
    if (entry->kind == WidgetKind::Fader) {
        return entry->keyHeld || static_cast<const QSlider*>(entry->widget)->isSliderDown();
    }
    return entry->typed;
}

bool HostWindow::Touched(int number) const
{
    const ControlEntry* entry = impl_->Find(number);
    return entry != nullptr && entry->touched;
}

void HostWindow::ForgetTouches()
{
    for (auto& [number, entry] : impl_->controls) {
        entry.touched = false;
    }
}

void HostWindow::TakeTypedText(int number)
{
    if (ControlEntry* entry = impl_->Find(number)) {
        entry->typed = false;
    }
}
