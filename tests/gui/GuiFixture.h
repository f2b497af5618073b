// A fresh program in a temporary folder, driven offscreen, with a UDP socket of the test in
// place of the console and an answerer for the modal requesters.
#pragma once

#include "app/Program.h"
#include "support/TestSupport.h"

#include <QCursor>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

// The push buttons, by the numbers the window gives them.
inline constexpr int kLoadButton = 80, kSaveButton = 81, kResetButton = 82, kUpdatesButton = 83,
                     kEditConfigButton = 150;

// config.ini for 127.0.0.N, as a user would write it.
inline QByteArray ConfigFor(int lastOctet)
{
    return QByteArray("127\r\n0\r\n0\r\n") + QByteArray::number(lastOctet) + "\r\n";
}

// A line of the stand-in's for a message that sets something: one number or one string.
inline bool IsSetLine(const std::string& line)
{
    return !line.starts_with(' ') && (line.find(" ,f ") != std::string::npos ||
                                      line.find(" ,i ") != std::string::npos || line.find(" ,s ") != std::string::npos);
}

// A message box as the user saw it.
struct SeenMessage {
    QString title;
    QString text;
    bool operator==(const SeenMessage&) const = default;
};

// Answers modal requesters as they open: message boxes with OK (recording what they said), file
// dialogs with the answers queued for them, in order; a dialog without an answer is cancelled.
class ModalAnswerer {
public:
    ModalAnswerer();
    // The next file dialog gets `path` typed into its name box and accepted; `then` runs right
    // after, while the command that asked goes on.
    void TypeFileName(const QString& path, std::function<void()> then = {}) { fileAnswers_.emplace_back(path, then); }

    std::vector<SeenMessage> messages;
    bool waitCursorSeen = false;   // a requester showed while the wait cursor was the one in force
    bool boxWithoutWindow = false; // a message box showed while the window it stands over did not

private:
    void Answer();
    QTimer timer_;
    std::deque<std::pair<QString, std::function<void()>>> fileAnswers_;
};

// The user's hand in the middle of a command: a thread of the test reads the console's datagrams
// and, once the `count`-th has arrived, posts a click on each widget (postEvent is thread-safe), 8
// pixels in and half way down: on a fader at 0 that is its groove above the thumb, which pages
// it up. The program meets the clicks at its next look at pending input. Take() joins and returns
// what the thread read.
class InputAtDatagram {
public:
    InputAtDatagram(UdpReceiver& console, std::size_t count, std::vector<QWidget*> widgets);
    ~InputAtDatagram() { Take(); }
    InputAtDatagram(const InputAtDatagram&) = delete;
    InputAtDatagram& operator=(const InputAtDatagram&) = delete;
    std::vector<Bytes> Take();

private:
    std::vector<Bytes> seen_;
    std::thread thread_;
};

// How a console of the test answers the question of one address: what it sends, from which socket
// (null: its own), how late; nothing when empty.
struct FakeAnswer {
    Bytes datagram;
    const UdpReceiver* from = nullptr;
    int delayMs = 0;
};
using AnswerRule = std::function<std::optional<FakeAnswer>(const std::string& address)>;

// What an initialised console answers to the question of `address`: an empty name, "on" as ",i" 1,
// "/xinfo" with four strings, else ",f" 0.0.
Bytes InitialAnswer(const std::string& address);

// A console of the test's own on 127.0.0.N:10023, on a thread: it keeps every address that
// arrives and, unless silent, answers each question by `rule`, by default from its values: an
// address it was given, else InitialAnswer.
class FakeConsole {
public:
    explicit FakeConsole(int lastOctet, AnswerRule rule = {});
    ~FakeConsole();
    void Set(const std::string& address, const Bytes& answer);
    void Silence(bool silent) { silent_ = silent; }
    std::vector<std::string> Received(); // every address, in order; a set's with its type tags: "/ch/03/mix/on ,f"
    // Sends a datagram to the window's link (known from its first question) from the console's
    // own port, or from another socket of the test.
    void Push(const Bytes& datagram, const UdpReceiver* from = nullptr);

private:
    void Serve();
    std::optional<FakeAnswer> Answer(const std::string& address);
    UdpReceiver socket_;
    AnswerRule rule_;
    std::atomic<bool> silent_{false}, stop_{false};
    std::atomic<int> windowPort_{0};
    std::mutex mutex_;
    std::map<std::string, Bytes> values_;
    std::vector<std::string> received_;
    std::vector<std::pair<std::chrono::steady_clock::time_point, FakeAnswer>> due_;
    std::thread thread_;
};

class ProgramUnderTest {
public:
    // Writes `config` (unless null) as config.ini into a fresh folder, makes that the current
    // directory and starts the program there with `options` (--read-console, --follow), after
    // `prepare`, its snapshots under "state", and lets the read at start run to its end unless
    // `duringRead`. The test's socket listens on 127.0.0.N:10023.
    ProgramUnderTest(int lastOctet, const QByteArray& config, const Shell& options = {},
                     const std::function<void(Program&)>& prepare = {}, bool duringRead = false);
    explicit ProgramUnderTest(int lastOctet) : ProgramUnderTest(lastOctet, ConfigFor(lastOctet)) {}
    ~ProgramUnderTest();

    // Handles what is queued, as passes of the main loop would.
    void Pump();
    // Runs the main loop until the read and what follows it are done (at most 20 s).
    void FinishRead();
    // Clicks a control with the mouse and handles what that queued.
    void Click(int number);
    // Gestures as the tables write them (tests/data/gestures.tsv): "drag 84; key 84 PgUp;
    // key 84; type 117 75; return; enter; click 190; set 68" (the program checks a box, sending
    // nothing; a hand's clicks once the k-th datagram from now has arrived), each followed by a pass
    // of the main loop.
    void Do(const QString& steps);
    // What the console received since the last call, the datagrams a hand waited for included;
    // waits until `count` have come.
    std::vector<Bytes> Received(std::size_t count = 0);
    // What the window shows for expectations written the same way, separated by spaces: "84=75"
    // (state), "117=\"75\"" (text), "85:off" or "85:on" (disabled or not).
    QString Shown(const QString& expectations);
    QWidget* Control(int number) const { return program.window.Control(number); }
    QString Path(const QString& name) const { return folder_.filePath(name); }

    QTemporaryDir folder_;
    QString previousDirectory_;
    ModalAnswerer answerer;
    UdpReceiver console;
    Program program;
    bool started = false;
    std::optional<InputAtDatagram> hand;
};

// Whether the desktop's wait cursor is the one in force.
inline bool WaitCursorUp()
{
    return QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
}

// A file under tests/data, as it is.
inline QByteArray TestData(const char* name)
{
    return ReadFile(qEnvironmentVariable("QUILLON_TEST_DATA") + u'/' + QLatin1String(name));
}

// The datagrams of data files under tests/data, one per line in ParseBytes' notation, in order.
std::vector<Bytes> ExpectedDatagrams(std::initializer_list<const char*> names);

// Whether a test of a forbidden file or folder has to give way to an unprivileged user: this one
// has `access` (R_OK, W_OK) to `path` although its mode forbids it. Under QUILLON_UNPRIVILEGED
// (set by CTest's unprivileged runs) that ends the test run instead.
bool NeedsUnprivilegedUser(const QString& path, int access);
