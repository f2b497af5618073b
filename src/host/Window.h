// The one main window, its controls addressed by number, the program's event queue and the
// modal requesters. The logic sees numbers, integer states, texts and event kinds only.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

class QApplication;
class QWidget;

// The window system's session, one per process, made by main before anything else.
class WindowSystem {
public:
    WindowSystem(int& argc, char** argv);
    ~WindowSystem();
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;

private:
    std::unique_ptr<QApplication> application_;
};

// What WaitEvent and PollEvent return.
enum class EventKind {
    None,         // PollEvent: nothing pending
    WindowSystem, // WaitEvent: the window system woke the loop for something of its own
    Control,      // a control reported; EventControl() says which
    Shortcut,     // the Return key, once armed
    Close,        // the user asked to close the window
};

enum class TextFieldStyle {
    DigitsOnly, // sunken border; the user can type only 0 to 9
    Caption,    // no border, narrower glyphs; still editable
};

// A level meter of the window: its place, one bar or two side by side (left and right), and what a
// screen reader calls it.
struct MeterPlace {
    int x = 0, y = 0, width = 0, height = 0;
    int bars = 1;
    QString name;
};

class HostWindow {
public:
    HostWindow(); // a QApplication must exist
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // The fixed-size top-level window with a close box only. `width` x `height` is the client
    // area, status bar included. It shows, centred on the primary screen and activated, when a
    // hold of the redraw ends or a message needs it, whichever comes first.
    void OpenMainWindow(int width, int height, const QString& title);
    // While held, new controls wait unseen and show together when the hold ends, painted once.
    void HoldRedraw(bool hold);
    // A status bar along the bottom of the client area with one field of the whole width.
    void CreateStatusBar();
    void SetStatusText(const QString& text); // centred in the field
    QString StatusText() const;

    // Creating under a number already in use replaces the old control.
    void CreateTextField(int number, int x, int y, int width, int height, const QString& text, TextFieldStyle style);
    // Vertical, `minimum` at the bottom, with a tick at every step.
    void CreateFader(int number, int x, int y, int width, int height, int minimum, int maximum);
    void CreatePushButton(int number, int x, int y, int width, int height, const QString& caption);
    void CreateCheckBox(int number, int x, int y, int width, int height, const QString& caption);
    void CreateAddressField(int number, int x, int y, int width, int height);

    // For a number never created these do nothing and return 0 or empty text. Setting a state
    // or a text raises no event and runs no handler.
    std::int64_t GetControlState(int number) const;
    void SetControlState(int number, std::int64_t state);
    QString GetControlText(int number) const;
    void SetControlText(int number, const QString& text);
    void DisableControl(int number, bool disable);
    void SetControlBackground(int number, int red, int green, int blue);
    // What a screen reader says for the control; nothing drawn changes.
    void SetControlName(int number, const QString& name);
    // The desktop's wait cursor over the window while a long command runs. Message boxes and
    // file dialogs keep the normal cursor.
    void SetBusy(bool busy);
    // The busy-but-usable cursor while work goes on in the background; the wait cursor wins.
    void SetWorking(bool working);
    int FocusedControl() const; // -1 when no control has the focus

    // WaitEvent blocks until the window system delivers something; PollEvent returns None when
    // nothing is pending. Both return queued events first, oldest first.
    EventKind WaitEvent();
    EventKind PollEvent();
    int EventControl() const;
    // The handler runs the moment the control reports, before the event is returned.
    void BindControlHandler(int number, std::function<void()> handler);
    // Whenever control `watched` changes, by the user or the program, the tooltip of control
    // `shownOn` becomes what `source` says. Tooltips raise no events.
    void BindToolTip(int watched, int shownOn, std::function<QString()> source);
    // From now on Return (and keypad Enter) anywhere in the window is a Shortcut event.
    void ArmReturnKey();

    // Whether the user is in the middle of changing the control: a fader held by the mouse or
    // a key, or a text field holding text typed since the program last set or took it.
    bool UserHolds(int number) const;
    // Whether the user changed the control (clicked, dragged, typed) since ForgetTouches.
    bool Touched(int number) const;
    void ForgetTouches();
    // The program has taken the typed text of a field (sent it): the field is no longer held.
    void TakeTypedText(int number);
    // Runs again what BindToolTip bound to control `shownOn`, for a source that changed.
    void RefreshToolTip(int shownOn);
    // A line of status where a person notices it, at the given place, made on first use; a screen
    // reader hears each new text. Empty text hides it.
    void ShowIndicator(int x, int y, int width, int height, const QString& text);
    QString IndicatorText() const;

    // Level meters, numbered from 0 in the order given, replacing any made before. They draw
    // -60 dBFS (bottom) to 0 dBFS (top), take no input and no focus, and are no controls.
    void CreateMeters(const std::vector<MeterPlace>& places);
    // One frame: a level in dBFS for each bar, meter 0's bars first; NaN and minus infinity are
    // silence. A bar rises at once, falls, holds its peak and latches a clip mark; without a new
    // frame for half a second the meters fall to the floor.
    void FeedMeters(std::span<const float> levels);
    void SetMeterName(int meter, const QString& name);
    // The console is gone: every meter falls to the floor.
    void DropMeters();

    // Modal; one OK button, no icon.
    void ShowMessage(const QString& title, const QString& text);
    // Modal file dialogs. `patterns` alternates descriptions and patterns separated by "|";
    // the first pair is preselected. The path comes back as typed or picked, no extension
    // added, no overwrite question, the file need not exist; empty text on cancel.
    QString AskOpenFileName(const QString& title, const QString& patterns);
    QString AskSaveFileName(const QString& title, const QString& patterns);

    // The real widgets, for tests and screenshots.
    QWidget* MainWindow() const;
    QWidget* Control(int number) const;
    QWidget* Meter(int meter) const; // null for a meter never created

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Fetches and drops every pending event; bound handlers still run for what arrives.
inline void DrainPendingEvents(HostWindow& window)
{
    while (window.PollEvent() != EventKind::None) {
    }
}
