// A fresh program in a temporary folder, driven offscreen, with a UDP socket of the test in
// place of the console and an answerer for the modal requesters.
#pragma once

#include "app/Program.h"
#include "support/TestSupport.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

// AddressSanitizer keeps freed memory in quarantine: resident and peak memory figures say
// nothing about the program in that build.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kMemoryFiguresMeaningful = false;
#else
inline constexpr bool kMemoryFiguresMeaningful = true;
#endif

// config.ini for 127.0.0.N, as a user would write it.
QByteArray ConfigFor(int lastOctet);

// A message box as the user saw it.
struct SeenMessage {
    QString title;
    QString text;
    bool operator==(const SeenMessage&) const = default;
};

// Answers modal requesters as they open: message boxes with OK (recording what they said),
// file dialogs with the answers queued for them, in order.
class ModalAnswerer {
public:
    ModalAnswerer();

    // The next file dialog gets `path` typed into its name box and accepted.
    void TypeFileName(const QString& path);
    // The next file dialog is cancelled.
    void CancelFileDialog();
    // The next file dialog gets whatever `answer` does to it.
    void AnswerFileDialog(std::function<void(QWidget*)> answer);

    std::vector<SeenMessage> messages;
    std::vector<QString> fileDialogTitles;

private:
    void Answer();

    QTimer timer_;
    std::deque<std::function<void(QWidget*)>> fileAnswers_;
};

class ProgramUnderTest {
public:
    // Writes `config` (if not null) as config.ini into a fresh folder, makes it the current
    // directory, and starts the program there. The test's socket listens on 127.0.0.N:10023.
    explicit ProgramUnderTest(int lastOctet, const QByteArray& config);
    explicit ProgramUnderTest(int lastOctet) : ProgramUnderTest(lastOctet, ConfigFor(lastOctet)) {}
    ~ProgramUnderTest();

    // Handles what is queued, as passes of the main loop would.
    void Pump();
    // Clicks a control with the mouse and handles what that queued.
    void Click(int number);

    QWidget* Control(int number) const;
    QString Folder() const { return folder_.path(); }

    // What the stand-in opener was started with, one "working directory|arguments" per call.
    QStringList OpenerCalls() const;

    QTemporaryDir folder_;
    QString previousDirectory_;
    QByteArray previousPath_;
    ModalAnswerer answerer;
    UdpReceiver console;
    Program program;
    bool started = false;
};

// Clicks into a field (the first touch of a value field arms Return) and types over its text,
// as the user does; Return is not pressed.
void TypeInto(ProgramUnderTest& p, int field, const QString& text);

// The messages the test's socket has received by now, decoded.
std::vector<FloatMessage> Received(UdpReceiver& console, std::size_t atLeast);
