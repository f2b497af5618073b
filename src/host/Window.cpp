// The main window and its controls over Qt Widgets, with the program's own event queue.
#include "host/Window.h"

#include "host/Network.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QShortcut>
#include <QSlider>
#include <QStatusBar>

#include <algorithm>
#include <deque>
#include <map>
#include <vector>

namespace {

constexpr int kFontPixels = 11;
constexpr int kCaptionStretch = 85;
// Room between a button's caption and its side edges; a caption needing more than the button
// leaves it is drawn with narrower glyphs instead.
constexpr int kButtonCaptionMargin = 7;
constexpr int kNarrowestStretch = 70;

enum class ControlKind { TextField, Trackbar, PushButton, CheckBox, AddressField };

// Which notification raised an event. Identical events differ in none of kind, control and subtype.
enum Subtype { kClicked = 1, kFocusIn, kFocusOut, kTextEdited, kPositionChanged, kDragEnded, kShortcut };

struct Event {
    EventKind kind = EventKind::None;
    int control = 0; // the reporting control; 0 for other kinds
    int subtype = 0;
    bool operator==(const Event&) const = default;
};

struct ControlEntry {
    ControlKind kind;
    QWidget* widget;
    std::function<void()> handler;
    std::uint32_t address = 0; // address field: first octet in the low byte
};

// "desc|patterns|desc|patterns" into Qt name filters. "*.*" means every file, as users expect,
// and the description's own parenthesised patterns give way to the real ones.
QStringList NameFilters(const QString& patterns)
{
    const QStringList parts = patterns.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const qsizetype bracket = description.indexOf(QLatin1Char('('));
        if (bracket >= 0) {
            description = description.left(bracket).trimmed();
        }
        QStringList globs;
        for (const QString& glob : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            globs << (glob == QLatin1String("*.*") ? QStringLiteral("*") : glob.trimmed());
        }
        filters << QStringLiteral("%1 (%2)").arg(description, globs.join(QLatin1Char(' ')));
    }
    return filters;
}

} // namespace

// Check boxes with a narrow gap between box and caption: "M" fits 25 pixels, "Link 01-02" 75.
class NarrowCheckBoxStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        return metric == PM_CheckBoxLabelSpacing ? 2 : QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// The top-level window: a close request only becomes an event; the window stays open.
class MainWidget : public QWidget {
public:
    std::function<void()> onClose;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        if (onClose) {
            onClose();
        }
    }
};

// Focus changes of text fields become events, as the logic arms the Return key on them.
class FocusWatcher : public QObject {
public:
    std::function<void(QObject*, int)> onFocus;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn) {
            onFocus(watched, kFocusIn);
        } else if (event->type() == QEvent::FocusOut) {
            onFocus(watched, kFocusOut);
        }
        return false;
    }
};

WindowSystem::WindowSystem(int& argc, char** argv) : application_(std::make_unique<QApplication>(argc, argv))
{
    QApplication::setApplicationName(QStringLiteral("Quillon"));
}

WindowSystem::~WindowSystem() = default;

struct HostWindow::Impl {
    // Shared by all controls of their kind: made once, not once per control.
    NarrowCheckBoxStyle checkBoxStyle;
    QRegularExpressionValidator digitsOnly{QRegularExpression(QStringLiteral("[0-9]*"))};
    std::unique_ptr<MainWidget> window;
    QStatusBar* statusBar = nullptr;
    QLabel* statusField = nullptr;
    FocusWatcher focusWatcher;
    std::map<int, ControlEntry> controls;
    std::vector<std::unique_ptr<QShortcut>> returnShortcuts; // Return and keypad Enter
    std::deque<Event> queue;
    Event last;
    int settingControl = 0; // > 0 while the program changes a control: its events are dropped
    bool busy = false;      // the wait cursor is up
    // While redraw is held, new controls gather on a hidden layer over the whole window that is
    // shown at once when the hold ends. Shown one by one on the visible window, each control had
    // Qt ask the X server where the pointer is, a round trip each: a third of the start-up.
    bool holding = false;
    QWidget* heldLayer = nullptr;

    QWidget* NewControlParent()
    {
        if (!holding) {
            return window.get();
        }
        if (!heldLayer) {
            heldLayer = new QWidget(window.get());
            heldLayer->setGeometry(window->rect());
        }
        return heldLayer;
    }

    // Queues an event unless it repeats the tail, then runs the control's bound handler.
    void Post(EventKind kind, int control, int subtype)
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
            if (found != controls.end() && found->second.handler) {
                const std::function<void()> handler = found->second.handler; // may rebind itself
                handler();
            }
        }
    }

    int NumberOf(const QObject* widget) const
    {
        for (const auto& [number, entry] : controls) {
            if (entry.widget == widget) {
                return number;
            }
        }
        return -1;
    }

    const ControlEntry* Find(int number) const
    {
        const auto found = controls.find(number);
        return found == controls.end() ? nullptr : &found->second;
    }

    ControlEntry* Find(int number)
    {
        const auto found = controls.find(number);
        return found == controls.end() ? nullptr : &found->second;
    }

    void Add(int number, ControlKind kind, QWidget* widget, int x, int y, int width, int height)
    {
        if (const auto old = controls.find(number); old != controls.end()) {
            delete old->second.widget;
            controls.erase(old);
        }
        widget->setGeometry(x, y, width, height);
        widget->show();
        controls.emplace(number, ControlEntry{kind, widget, {}});
    }

    EventKind Take()
    {
        last = queue.front();
        queue.pop_front();
        return last.kind;
    }
};

HostWindow::HostWindow() : impl_(std::make_unique<Impl>())
{
    impl_->focusWatcher.onFocus = [this](QObject* watched, int subtype) {
        const int number = impl_->NumberOf(watched);
        if (number >= 0 && impl_->Find(number)->kind == ControlKind::TextField) {
            impl_->Post(EventKind::Control, number, subtype);
        }
    };
}

HostWindow::~HostWindow()
{
    impl_->returnShortcuts.clear();
    impl_->controls.clear();
    impl_->window.reset();
}

void HostWindow::OpenMainWindow(int width, int height, const QString& title)
{
    auto& window = impl_->window;
    window = std::make_unique<MainWidget>();
    window->onClose = [this] { impl_->Post(EventKind::Close, 0, 0); };
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    window->setWindowTitle(title);
    // The layout is fixed in pixels: a small font keeps every caption readable at those sizes.
    QFont font = window->font();
    font.setPixelSize(kFontPixels);
    window->setFont(font);
    // Read by Qt's built-in PNG reader alone: left to detect the format, Qt would load and ask
    // every image-format plugin first, which took a tenth of the start-up.
    QImageReader icon(QStringLiteral(":/quillon/quillon.png"), "png");
    icon.setAutoDetectImageFormat(false);
    window->setWindowIcon(QIcon(QPixmap::fromImage(icon.read())));
    window->setFixedSize(width, height);
    window->show();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        const QSize outer = window->frameGeometry().size();
        window->move(area.x() + (area.width() - std::min(area.width(), outer.width())) / 2,
                     area.y() + (area.height() - std::min(area.height(), outer.height())) / 2);
    }
    window->raise();
    window->activateWindow();
    // The window itself holds the focus until the user moves it: otherwise the first control,
    // the hidden address field, would take it and blink an invisible cursor.
    window->setFocus();
}

void HostWindow::HoldRedraw(bool hold)
{
    impl_->holding = hold;
    if (!hold && impl_->heldLayer) {
        impl_->heldLayer->show();
        impl_->heldLayer = nullptr;
    }
    impl_->window->setUpdatesEnabled(!hold);
}

void HostWindow::CreateStatusBar()
{
    auto* bar = new QStatusBar(impl_->window.get());
    bar->setSizeGripEnabled(false);
    auto* field = new QLabel(bar);
    field->setAlignment(Qt::AlignCenter);
    bar->addWidget(field, 1);
    const int height = bar->sizeHint().height();
    bar->setGeometry(0, impl_->window->height() - height, impl_->window->width(), height);
    bar->show();
    impl_->statusBar = bar;
    impl_->statusField = field;
}

void HostWindow::SetStatusText(const QString& text)
{
    if (impl_->statusField) {
        impl_->statusField->setText(text);
    }
}

QString HostWindow::StatusText() const
{
    return impl_->statusField ? impl_->statusField->text() : QString();
}

void HostWindow::CreateTextField(int number, int x, int y, int width, int height, const QString& text,
                                 TextFieldStyle style)
{
    auto* field = new QLineEdit(text, impl_->NewControlParent());
    if (style == TextFieldStyle::DigitsOnly) {
        // Guards typing only; the program may still set any text.
        field->setValidator(&impl_->digitsOnly);
    } else {
        // Used as a caption: narrower glyphs, so "P01" fits its 20 pixels.
        field->setFrame(false);
        QFont font = field->font();
        font.setStretch(kCaptionStretch);
        field->setFont(font);
        field->setTextMargins(-1, 0, -1, 0);
    }
    field->installEventFilter(&impl_->focusWatcher);
    QObject::connect(field, &QLineEdit::textEdited, field,
                     [this, number] { impl_->Post(EventKind::Control, number, kTextEdited); });
    impl_->Add(number, ControlKind::TextField, field, x, y, width, height);
}

void HostWindow::CreateTrackbar(int number, int x, int y, int width, int height, int minimum, int maximum)
{
    auto* slider = new QSlider(Qt::Vertical, impl_->NewControlParent());
    slider->setRange(std::max(minimum, 0), std::max(maximum, 0));
    slider->setTickPosition(QSlider::TicksRight);
    slider->setTickInterval(1);
    // Every position the user gives it is a report; the end of a drag is one more.
    QObject::connect(slider, &QSlider::valueChanged, slider,
                     [this, number] { impl_->Post(EventKind::Control, number, kPositionChanged); });
    QObject::connect(slider, &QSlider::sliderReleased, slider,
                     [this, number] { impl_->Post(EventKind::Control, number, kDragEnded); });
    impl_->Add(number, ControlKind::Trackbar, slider, x, y, width, height);
}

void HostWindow::CreatePushButton(int number, int x, int y, int width, int height, const QString& caption)
{
    auto* button = new QPushButton(caption, impl_->NewControlParent());
    button->setAutoDefault(false);
    QFont font = button->font();
    for (int stretch = QFont::Unstretched;
         stretch > kNarrowestStretch &&
         QFontMetrics(font).horizontalAdvance(caption) + 2 * kButtonCaptionMargin > width;
         --stretch) {
        font.setStretch(stretch - 1);
    }
    button->setFont(font);
    QObject::connect(button, &QPushButton::clicked, button,
                     [this, number] { impl_->Post(EventKind::Control, number, kClicked); });
    impl_->Add(number, ControlKind::PushButton, button, x, y, width, height);
}

void HostWindow::CreateCheckBox(int number, int x, int y, int width, int height, const QString& caption)
{
    auto* box = new QCheckBox(caption, impl_->NewControlParent());
    box->setStyle(&impl_->checkBoxStyle);
    QObject::connect(box, &QCheckBox::clicked, box,
                     [this, number] { impl_->Post(EventKind::Control, number, kClicked); });
    impl_->Add(number, ControlKind::CheckBox, box, x, y, width, height);
}

void HostWindow::CreateAddressField(int number, int x, int y, int width, int height)
{
    auto* field = new QLineEdit(DottedIPv4(0), impl_->NewControlParent());
    impl_->Add(number, ControlKind::AddressField, field, x, y, width, height);
}

std::int64_t HostWindow::GetControlState(int number) const
{
    const ControlEntry* entry = impl_->Find(number);
    if (!entry) {
        return 0;
    }
    switch (entry->kind) {
    case ControlKind::Trackbar:
        return static_cast<QSlider*>(entry->widget)->value();
    case ControlKind::CheckBox:
        return static_cast<QCheckBox*>(entry->widget)->isChecked() ? 1 : 0;
    case ControlKind::AddressField:
        return entry->address;
    default:
        return 0;
    }
}

void HostWindow::SetControlState(int number, std::int64_t state)
{
    ControlEntry* entry = impl_->Find(number);
    if (!entry) {
        return;
    }
    ++impl_->settingControl;
    switch (entry->kind) {
    case ControlKind::Trackbar: {
        auto* slider = static_cast<QSlider*>(entry->widget);
        slider->setValue(static_cast<int>(std::clamp<std::int64_t>(state, slider->minimum(), slider->maximum())));
        break;
    }
    case ControlKind::CheckBox:
        static_cast<QCheckBox*>(entry->widget)->setChecked(state != 0);
        break;
    case ControlKind::AddressField:
        entry->address = static_cast<std::uint32_t>(state);
        static_cast<QLineEdit*>(entry->widget)->setText(DottedIPv4(entry->address));
        break;
    default:
        break;
    }
    --impl_->settingControl;
}

QString HostWindow::GetControlText(int number) const
{
    const ControlEntry* entry = impl_->Find(number);
    if (!entry) {
        return {};
    }
    switch (entry->kind) {
    case ControlKind::TextField:
        return static_cast<QLineEdit*>(entry->widget)->text();
    case ControlKind::AddressField:
        return DottedIPv4(entry->address);
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
        return static_cast<QAbstractButton*>(entry->widget)->text();
    default:
        return {};
    }
}

void HostWindow::SetControlText(int number, const QString& text)
{
    ControlEntry* entry = impl_->Find(number);
    if (!entry) {
        return;
    }
    ++impl_->settingControl;
    if (entry->kind == ControlKind::TextField) {
        static_cast<QLineEdit*>(entry->widget)->setText(text);
    } else if (entry->kind == ControlKind::PushButton || entry->kind == ControlKind::CheckBox) {
        static_cast<QAbstractButton*>(entry->widget)->setText(text);
    }
    --impl_->settingControl;
}

void HostWindow::DisableControl(int number, bool disable)
{
    if (ControlEntry* entry = impl_->Find(number)) {
        ++impl_->settingControl; // losing the focus to a disable is not the user's doing
        entry->widget->setEnabled(!disable);
        --impl_->settingControl;
    }
}

void HostWindow::SetControlBackground(int number, int red, int green, int blue)
{
    if (ControlEntry* entry = impl_->Find(number)) {
        QPalette palette = entry->widget->palette();
        const QColor colour(red, green, blue);
        palette.setColor(QPalette::Base, colour);
        palette.setColor(QPalette::Window, colour);
        entry->widget->setPalette(palette);
        entry->widget->setAutoFillBackground(true);
        entry->widget->update();
    }
}

int HostWindow::FocusedControl() const
{
    for (const QObject* widget = QApplication::focusWidget(); widget; widget = widget->parent()) {
        if (const int number = impl_->NumberOf(widget); number >= 0) {
            return number;
        }
    }
    return -1;
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

void HostWindow::BindToolTip(int watched, int shownOn, std::function<QString()> source)
{
    const ControlEntry* from = impl_->Find(watched);
    const ControlEntry* to = impl_->Find(shownOn);
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
    update();
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

void HostWindow::SetControlName(int number, const QString& name)
{
    if (ControlEntry* entry = impl_->Find(number)) {
        entry->widget->setAccessibleName(name);
    }
}

void HostWindow::SetBusy(bool busy)
{
    if (busy != impl_->busy) {
        impl_->busy = busy;
        busy ? QGuiApplication::setOverrideCursor(Qt::WaitCursor) : QGuiApplication::restoreOverrideCursor();
    }
}

namespace {

// Requesters keep the normal cursor, even while a long command has the wait cursor up.
class NormalCursor {
public:
    NormalCursor() { QGuiApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~NormalCursor() { QGuiApplication::restoreOverrideCursor(); }
    NormalCursor(const NormalCursor&) = delete;
    NormalCursor& operator=(const NormalCursor&) = delete;
};

} // namespace

void HostWindow::ShowMessage(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, impl_->window.get());
    const NormalCursor normal;
    box.exec();
}

namespace {

QString AskFileName(QWidget* owner, QFileDialog::AcceptMode mode, const QString& title, const QString& patterns)
{
    QFileDialog dialog(owner, title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    const QStringList filters = NameFilters(patterns);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty()) {
        dialog.selectNameFilter(filters.constFirst());
    }
    const NormalCursor normal;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString HostWindow::AskOpenFileName(const QString& title, const QString& patterns)
{
    return AskFileName(impl_->window.get(), QFileDialog::AcceptOpen, title, patterns);
}

QString HostWindow::AskSaveFileName(const QString& title, const QString& patterns)
{
    return AskFileName(impl_->window.get(), QFileDialog::AcceptSave, title, patterns);
}

QWidget* HostWindow::MainWindow() const
{
    return impl_->window.get();
}

QWidget* HostWindow::Control(int number) const
{
    const ControlEntry* entry = impl_->Find(number);
    return entry ? entry->widget : nullptr;
}
