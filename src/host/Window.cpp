// The main window and its controls over Qt Widgets, addressed by number.
#include "host/WindowParts.h"

#include "host/Network.h"

#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSlider>
#include <QStatusBar>

#include <algorithm>

namespace {

constexpr int kFontPixels = 11;
constexpr int kCaptionStretch = 85;
// Room between a button's caption and its side edges; a caption needing more than the button
// leaves it is drawn with narrower glyphs instead.
constexpr int kButtonCaptionMargin = 7;
constexpr int kNarrowestStretch = 70;

} // namespace

WindowSystem::WindowSystem(int& argc, char** argv) : application_(std::make_unique<QApplication>(argc, argv))
{
    QApplication::setApplicationName(QStringLiteral("Quillon"));
}

WindowSystem::~WindowSystem() = default;

QWidget* HostWindow::Impl::NewControlParent()
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

int HostWindow::Impl::NumberOf(const QObject* widget) const
{
    for (const auto& [number, entry] : controls) {
        if (entry.widget == widget) {
            return number;
        }
    }
    return -1;
}

const ControlEntry* HostWindow::Impl::Find(int number) const
{
    const auto found = controls.find(number);
    return found == controls.end() ? nullptr : &found->second;
}

ControlEntry* HostWindow::Impl::Find(int number)
{
    const auto found = controls.find(number);
    return found == controls.end() ? nullptr : &found->second;
}

void HostWindow::Impl::Add(int number, WidgetKind kind, QWidget* widget, int x, int y, int width, int height)
{
    if (const auto old = controls.find(number); old != controls.end()) {
        delete old->second.widget;
        controls.erase(old);
    }
    widget->setGeometry(x, y, width, height);
    widget->show();
    controls.emplace(number, ControlEntry{.kind = kind, .widget = widget});
}

HostWindow::HostWindow() : impl_(std::make_unique<Impl>())
{
    impl_->inputWatcher.onKeyHeld = [this](QObject* watched, bool held) {
        if (ControlEntry* entry = impl_->Find(impl_->NumberOf(watched))) {
            entry->keyHeld = held;
        }
    };
    impl_->inputWatcher.onFocus = [this](QObject* watched, int subtype) {
        const int number = impl_->NumberOf(watched);
        if (number >= 0 && impl_->Find(number)->kind == WidgetKind::TextField) {
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
}

void HostWindow::Impl::ShowWindow()
{
    // Shown at once, the empty window was painted on its own before its controls came.
    if (!window || window->isVisible()) {
        return;
    }
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
    // The hidden layer alone holds the controls back: with the window's updates turned off as
    // well, turning them on again had Qt paint every control twice.
    impl_->holding = hold;
    if (hold) {
        return;
    }
    if (impl_->heldLayer) {
        impl_->heldLayer->show();
        impl_->heldLayer = nullptr;
    }
    impl_->ShowWindow();
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
    // Made empty and given its text last: a line edit lays its text out again at each change of
    // font, and every layout shapes the text anew.
    auto* field = new QLineEdit(impl_->NewControlParent());
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
    field->setText(text);
    field->installEventFilter(&impl_->inputWatcher);
    QObject::connect(field, &QLineEdit::textEdited, field, [this, number] {
        impl_->Find(number)->typed = true;
        impl_->Post(EventKind::Control, number, kTextEdited);
    });
    impl_->Add(number, WidgetKind::TextField, field, x, y, width, height);
}

void HostWindow::CreateFader(int number, int x, int y, int width, int height, int minimum, int maximum)
{
    auto* slider = new QSlider(Qt::Vertical, impl_->NewControlParent());
    slider->setStyle(&impl_->faderStyle);
    slider->setRange(std::max(minimum, 0), std::max(maximum, 0));
    slider->setTickPosition(QSlider::TicksRight);
    slider->setTickInterval(1);
    // Every position the user gives it is a report; the end of a drag is one more.
    QObject::connect(slider, &QSlider::valueChanged, slider,
                     [this, number] { impl_->Post(EventKind::Control, number, kPositionChanged); });
    slider->installEventFilter(&impl_->inputWatcher);
    QObject::connect(slider, &QSlider::sliderReleased, slider,
                     [this, number] { impl_->Post(EventKind::Control, number, kDragEnded); });
    impl_->Add(number, WidgetKind::Fader, slider, x, y, width, height);
}

void HostWindow::CreatePushButton(int number, int x, int y, int width, int height, const QString& caption)
{
    auto* button = new QPushButton(caption, impl_->NewControlParent());
    button->setAutoDefault(false);
    // The widest stretch at which the caption fits. Each stretch measured loads a font, so the
    // search starts from the proportional guess and steps from there rather than from 100.
    QFont font = button->font();
    const int room = width - 2 * kButtonCaptionMargin;
    const auto fits = [&](int stretch) {
        font.setStretch(stretch);
        return QFontMetrics(font).horizontalAdvance(caption) <= room;
    };
    if (const int full = QFontMetrics(font).horizontalAdvance(caption); full > room) {
        int stretch = std::clamp(QFont::Unstretched * room / full, kNarrowestStretch, QFont::Unstretched - 1);
        while (stretch < QFont::Unstretched - 1 && fits(stretch + 1)) {
            ++stretch;
        }
        while (stretch > kNarrowestStretch && !fits(stretch)) {
            --stretch;
        }
        font.setStretch(stretch);
    }
    button->setFont(font);
    QObject::connect(button, &QPushButton::clicked, button,
                     [this, number] { impl_->Post(EventKind::Control, number, kClicked); });
    impl_->Add(number, WidgetKind::PushButton, button, x, y, width, height);
}

void HostWindow::CreateCheckBox(int number, int x, int y, int width, int height, const QString& caption)
{
    auto* box = new QCheckBox(caption, impl_->NewControlParent());
    box->setStyle(&impl_->checkBoxStyle);
    QObject::connect(box, &QCheckBox::clicked, box,
                     [this, number] { impl_->Post(EventKind::Control, number, kClicked); });
    impl_->Add(number, WidgetKind::CheckBox, box, x, y, width, height);
}

void HostWindow::CreateAddressField(int number, int x, int y, int width, int height)
{
    auto* field = new QLineEdit(DottedIPv4(0), impl_->NewControlParent());
    impl_->Add(number, WidgetKind::AddressField, field, x, y, width, height);
}

std::int64_t HostWindow::GetControlState(int number) const
{
    const ControlEntry* entry = impl_->Find(number);
    if (!entry) {
        return 0;
    }
    switch (entry->kind) {
    case WidgetKind::Fader:
        return static_cast<QSlider*>(entry->widget)->value();
    case WidgetKind::CheckBox:
        return static_cast<QCheckBox*>(entry->widget)->isChecked() ? 1 : 0;
    case WidgetKind::AddressField:
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
    case WidgetKind::Fader: {
        auto* slider = static_cast<QSlider*>(entry->widget);
        slider->setValue(static_cast<int>(std::clamp<std::int64_t>(state, slider->minimum(), slider->maximum())));
        break;
    }
    case WidgetKind::CheckBox:
        static_cast<QCheckBox*>(entry->widget)->setChecked(state != 0);
        break;
    case WidgetKind::AddressField:
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
    case WidgetKind::TextField:
        return static_cast<QLineEdit*>(entry->widget)->text();
    case WidgetKind::AddressField:
        return DottedIPv4(entry->address);
    case WidgetKind::PushButton:
    case WidgetKind::CheckBox:
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
    if (entry->kind == WidgetKind::TextField) {
        entry->typed = false;
        static_cast<QLineEdit*>(entry->widget)->setText(text);
    } else if (entry->kind == WidgetKind::PushButton || entry->kind == WidgetKind::CheckBox) {
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

QWidget* HostWindow::MainWindow() const
{
    return impl_->window.get();
}

QWidget* HostWindow::Control(int number) const
{
    const ControlEntry* entry = impl_->Find(number);
    return entry ? entry->widget : nullptr;
}
