// Inside HostWindow, shared by its files: the controls by number (Window.cpp), the event queue
// (EventQueue.cpp), the requesters and cursors (Requesters.cpp), what tooltips and screen readers
// say (Descriptions.cpp) and the meters (MeterWidgets.cpp). Nothing outside host/ sees it.
#pragma once

#include "host/Window.h"

#include <QObject>
#include <QProxyStyle>
#include <QValidator>
#include <QWidget>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <vector>

class MeterPanel;
class QLabel;
class QShortcut;
class QStatusBar;
class QStyleOptionSlider;

// The Qt widget behind a control number.
enum class WidgetKind { TextField, Fader, PushButton, CheckBox, AddressField };

// Which notification raised an event. Identical events differ in none of kind, control and subtype.
enum Subtype { kClicked = 1, kFocusIn, kFocusOut, kTextEdited, kPositionChanged, kDragEnded, kShortcut };

struct Event {
    EventKind kind = EventKind::None;
    int control = 0; // the reporting control; 0 for other kinds
    int subtype = 0;
    bool operator==(const Event&) const = default;
};

struct ControlEntry {
    WidgetKind kind = WidgetKind::TextField;
    QWidget* widget = nullptr;
    std::function<void()> handler = {};
    std::uint32_t address = 0; // address field: first octet in the low byte
    bool typed = false;        // text field: the user typed since the program last set or took the text
    bool keyHeld = false;      // fader: a key is down on it
    bool touched = false;      // the user changed it since ForgetTouches
    std::vector<std::function<void()>> toolTipUpdates = {}; // what BindToolTip shows on this control
};

// Check boxes with a narrow gap between box and caption: "M" fits 25 pixels, "Link 01-02" 75.
class NarrowCheckBoxStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        return metric == PM_CheckBoxLabelSpacing ? 2 : QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// Text of the digits 0 to 9 only, or none. A regular expression said the same but was compiled,
// with its JIT, by the first text set: half a megabyte of memory at start-up.
class DigitsValidator : public QValidator {
public:
    State validate(QString& input, int& /*position*/) const override
    {
        const bool digits = std::all_of(input.cbegin(), input.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        return digits ? Acceptable : Invalid;
    }
};

// Faders as Fusion draws them, in parts, and without the smooth-pixmap hint where nothing is
// scaled (FaderStyle.cpp).
class FaderStyle : public QProxyStyle {
public:
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override;

private:
    void DrawTicks(const QStyleOptionSlider& ticks, QPainter* painter, const QWidget* widget) const;
};

// The top-level window: a close request only becomes an event; the window stays open.
class MainWidget : public QWidget {
public:
    std::function<void()> onClose;

protected:
    void closeEvent(QCloseEvent* event) override;
};

// Focus changes of text fields become events, as the logic arms the Return key on them; keys
// pressed and released on faders tell whether the user holds one.
class InputWatcher : public QObject {
public:
    std::function<void(QObject*, int)> onFocus;
    std::function<void(QObject*, bool)> onKeyHeld;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

struct HostWindow::Impl {
    // Shared by all controls of their kind: made once, not once per control.
    NarrowCheckBoxStyle checkBoxStyle;
    FaderStyle faderStyle;
    DigitsValidator digitsOnly;
    std::unique_ptr<MainWidget> window;
    QStatusBar* statusBar = nullptr;
    QLabel* statusField = nullptr;
    InputWatcher inputWatcher;
    QLabel* indicator = nullptr;  // made by the first ShowIndicator
    MeterPanel* meters = nullptr; // made by the first CreateMeters; a child of the window
    std::map<int, ControlEntry> controls;
    std::vector<std::unique_ptr<QShortcut>> returnShortcuts; // Return and keypad Enter
    std::deque<Event> queue;
    Event last;
    int settingControl = 0; // > 0 while the program changes a control: its events are dropped
    bool busy = false;      // a command runs: the wait cursor
    bool working = false;   // work goes on while the window stays usable: the busy cursor
    bool cursorSet = false; // one of the two is up
    // While redraw is held, new controls gather on a hidden layer over the whole window that is
    // shown at once when the hold ends. Shown one by one on the visible window, each control had
    // Qt ask the X server where the pointer is, a round trip each: a third of the start-up.
    bool holding = false;
    QWidget* heldLayer = nullptr;

    void ShowWindow(); // once: nothing hides the window again
    QWidget* NewControlParent();
    void Add(int number, WidgetKind kind, QWidget* widget, int x, int y, int width, int height);
    int NumberOf(const QObject* widget) const;
    const ControlEntry* Find(int number) const;
    ControlEntry* Find(int number);

    // The event queue (EventQueue.cpp). Post queues an event unless it repeats the tail, then
    // runs the control's bound handler; Take removes the oldest.
    void Post(EventKind kind, int control, int subtype);
    EventKind Take();
    void ApplyCursor(); // the wait cursor over the busy one over none
};
