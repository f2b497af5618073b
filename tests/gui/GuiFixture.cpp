// The shared fixture of the window tests.
#include "gui/GuiFixture.h"

#include "osc/OscDecoder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTest>
#include <unistd.h>

ModalAnswerer::ModalAnswerer()
{
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Answer(); });
    timer_.start();
}

void ModalAnswerer::Answer()
{
    QWidget* modal = QApplication::activeModalWidget();
    waitCursorSeen = waitCursorSeen || (modal && WaitCursorUp());
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        messages.push_back({box->windowTitle(), box->text()});
        boxWithoutWindow = boxWithoutWindow || !box->parentWidget() || !box->parentWidget()->isVisible();
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    } else if (auto* dialog = qobject_cast<QFileDialog*>(modal); dialog && dialog->isVisible()) {
        if (fileAnswers_.empty()) {
            QTest::keyClick(dialog, Qt::Key_Escape);
            return;
        }
        const auto [path, then] = fileAnswers_.front();
        fileAnswers_.pop_front();
        auto* nameBox = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        nameBox->setText(path);
        QTest::keyClick(nameBox, Qt::Key_Return);
        if (then) {
            then();
        }
    }
}

InputAtDatagram::InputAtDatagram(UdpReceiver& console, std::size_t count, std::vector<QWidget*> widgets)
{
    // Places are taken here: the widgets belong to the program's thread.
    std::vector<QPointF> places;
    for (QWidget* widget : widgets) {
        places.emplace_back(8, widget->height() / 2);
    }
    thread_ = std::thread([this, &console, count, widgets, places] {
        seen_ = console.WaitFor(count);
        for (std::size_t i = 0; i < widgets.size(); ++i) {
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
                QCoreApplication::postEvent(
                    widgets[i], new QMouseEvent(type, places[i], places[i], Qt::LeftButton, held, Qt::NoModifier));
            }
        }
    });
}

std::vector<Bytes> InputAtDatagram::Take()
{
    if (thread_.joinable()) {
        thread_.join();
    }
    return seen_;
}

ProgramUnderTest::ProgramUnderTest(int lastOctet, const QByteArray& config, const Shell& options,
                                   const std::function<void(Program&)>& prepare, bool duringRead)
    : previousDirectory_(QDir::currentPath()), console(lastOctet)
{
    program.shell = options;
    qputenv("XDG_STATE_HOME", QFile::encodeName(folder_.filePath(QStringLiteral("state")))); // snapshots
    if (prepare) {
        prepare(program);
    }
    if (!config.isNull()) {
        WriteFile(folder_.filePath(QStringLiteral("config.ini")), config);
    }
    QDir::setCurrent(folder_.path());
    started = StartProgram(program);
    if (started && !QTest::qWaitForWindowExposed(program.window.MainWindow())) {
        qWarning("the main window was not exposed");
    }
    if (started && !duringRead) {
        FinishRead();
    }
}

void ProgramUnderTest::FinishRead()
{
    QDeadlineTimer deadline(20'000);
    while (Reading(program) && !deadline.hasExpired()) {
        HandleEvent(program, program.window.WaitEvent());
    }
    Pump();
}

FakeConsole::FakeConsole(int lastOctet, AnswerRule rule)
    : socket_(lastOctet), rule_(std::move(rule)), thread_([this] { Serve(); })
{
}

FakeConsole::~FakeConsole()
{
    stop_ = true;
    thread_.join();
}

void FakeConsole::Set(const std::string& address, const Bytes& answer)
{
    const std::lock_guard lock(mutex_);
    values_[address] = answer;
}

std::vector<std::string> FakeConsole::Received()
{
    const std::lock_guard lock(mutex_);
    return received_;
}

void FakeConsole::Push(const Bytes& datagram, const UdpReceiver* from)
{
    (from ? *from : socket_).SendTo(1, windowPort_, datagram);
}

Bytes InitialAnswer(const std::string& address)
{
    const std::string tag = address.ends_with("/name") ? R"(",s"~ ""~)"
                            : address.ends_with("/on") ? R"(",i"~ 00000001)"
                            : address == "/xinfo"      ? R"(",ssss"~ "127.0.0.1"~ "fake"~ "X32C"~ "4.06"~)"
                                                       : R"(",f"~ 00000000)";
    return ParseBytes('"' + address + "\"~ " + tag);
}

std::optional<FakeAnswer> FakeConsole::Answer(const std::string& address)
{
    if (rule_) {
        return rule_(address);
    }
    const auto given = values_.find(address);
    return FakeAnswer{given != values_.end() ? given->second : InitialAnswer(address)};
}

void FakeConsole::Serve()
{
    while (!stop_) {
        int port = 0;
        const Bytes datagram = socket_.TakeOne(port, std::chrono::milliseconds(10));
        const std::vector<DecodedMessage> messages = DecodeDatagram(datagram).messages;
        const std::lock_guard lock(mutex_);
        if (messages.size() == 1) {
            windowPort_ = port;
            const bool question = messages[0].arguments.empty() && messages[0].address != "/xremote";
            received_.push_back(messages[0].address +
                                (messages[0].arguments.empty() ? "" : ' ' + messages[0].typeTags));
            if (const std::optional<FakeAnswer> answer =
                    question && !silent_ ? Answer(messages[0].address) : std::nullopt) {
                due_.emplace_back(std::chrono::steady_clock::now() + std::chrono::milliseconds(answer->delayMs),
                                  *answer);
            }
        }
        std::erase_if(due_, [this](const auto& entry) {
            const bool now = entry.first <= std::chrono::steady_clock::now();
            if (now) {
                (entry.second.from ? *entry.second.from : socket_).SendTo(1, windowPort_, entry.second.datagram);
            }
            return now;
        });
    }
}

ProgramUnderTest::~ProgramUnderTest()
{
    ShutDown(program);
    QDir::setCurrent(previousDirectory_);
}

void ProgramUnderTest::Pump()
{
    for (EventKind kind; !program.shell.quit && (kind = program.window.PollEvent()) != EventKind::None;) {
        HandleEvent(program, kind);
    }
}

void ProgramUnderTest::Click(int number)
{
    QWidget* control = Control(number);
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(8, control->height() / 2));
    Pump();
}

void ProgramUnderTest::Do(const QString& steps)
{
    for (const QString& step : steps.split(u';')) {
        const QStringList words = step.split(u' ', Qt::SkipEmptyParts);
        const QString& what = words[0];
        QWidget* control = words.size() > 1 ? Control(words[1].toInt()) : QApplication::focusWidget();
        if (what == u"drag") {
            const QPoint thumb(control->width() / 2, control->height() - 6); // at 0 the thumb sits at the bottom
            QTest::mousePress(control, Qt::LeftButton, {}, thumb);
            QTest::mouseMove(control, thumb - QPoint(0, 300));
            QTest::mouseRelease(control, Qt::LeftButton, {}, thumb - QPoint(0, 300));
        } else if (what == u"key") { // without a key: the focus only
            control->setFocus();
            if (words.size() > 2) {
                QTest::keyClick(control, QKeySequence::fromString(words[2])[0].key());
            }
        } else if (what == u"type") { // into a field the user clicked, over its text
            Click(words[1].toInt());
            qobject_cast<QLineEdit*>(control)->selectAll();
            QTest::keyClicks(control, words[2]);
        } else if (what == u"return" || what == u"enter") {
            QTest::keyClick(control ? control : program.window.MainWindow(),
                            what == u"return" ? Qt::Key_Return : Qt::Key_Enter);
        } else if (what == u"click") {
            Click(words[1].toInt());
        } else if (what == u"set") {
            program.window.SetControlState(words[1].toInt(), 1);
        } else if (what == u"at") { // "at 19 click 109 189"
            std::vector<QWidget*> widgets;
            std::transform(words.begin() + 3, words.end(), std::back_inserter(widgets),
                           [this](const QString& number) { return Control(number.toInt()); });
            hand.emplace(console, words[1].toUInt(), widgets);
        }
        Pump();
    }
}

std::vector<Bytes> ProgramUnderTest::Received(std::size_t count)
{
    std::vector<Bytes> received = hand ? hand->Take() : std::vector<Bytes>{};
    hand.reset();
    for (Bytes& datagram :
         console.WaitFor(count - std::min(count, received.size()), std::chrono::seconds(count ? 20 : 0))) {
        received.push_back(std::move(datagram));
    }
    return received;
}

QString ProgramUnderTest::Shown(const QString& expectations)
{
    QStringList shown;
    for (const QString& expectation : expectations.split(u' ')) {
        const qsizetype at = expectation.indexOf(QRegularExpression(QStringLiteral("[=:]")));
        const int number = expectation.left(at).toInt();
        shown << expectation.left(at + 1) +
                     (expectation[at + 1] == u'"' ? u'"' + program.window.GetControlText(number) + u'"'
                      : expectation[at] == u':'   ? QString::fromLatin1(Control(number)->isEnabled() ? "on" : "off")
                                                  : QString::number(program.window.GetControlState(number)));
    }
    return shown.join(u' ');
}

std::vector<Bytes> ExpectedDatagrams(std::initializer_list<const char*> names)
{
    std::vector<Bytes> datagrams;
    for (const char* name : names) {
        for (const Words& line : ReadTable(name, false)) {
            datagrams.push_back(ParseBytes(line[0]));
        }
    }
    return datagrams;
}

bool NeedsUnprivilegedUser(const QString& path, int access)
{
    const bool allowed = ::access(QFile::encodeName(path).constData(), access) == 0;
    if (allowed && qEnvironmentVariableIsSet("QUILLON_UNPRIVILEGED")) {
        qFatal("QUILLON_UNPRIVILEGED is set, but this user may use what its mode forbids");
    }
    return allowed;
}
