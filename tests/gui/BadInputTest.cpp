// Bad input of every kind the program meets: config files, scene files, typed text and the
// network. Each case states its outcome: no crash, no hang, bounded memory, and the user told
// where it matters. Also: the program offers nothing to the network.
#include "gui/GuiFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <fstream>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

namespace {

const std::vector<SeenMessage> kNoConfig{
    {QStringLiteral("No config.ini"), QStringLiteral("Please create the config.ini.")}};

// Peak resident memory since the last reset, in MiB; -1 where the kernel cannot reset it.
long PeakMiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6)) / 1024;
        }
    }
    return -1;
}

bool ResetPeak()
{
    if (!kMemoryFiguresMeaningful) {
        return false;
    }
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return clear.good();
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// "1\r\n" repeated: a scene of that many lines that checks every box and sends every handler.
QByteArray Lines(int count, const QByteArray& line)
{
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        text += line + "\r\n";
    }
    return text;
}

} // namespace

class BadInputTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // --- config.ini -----------------------------------------------------------------------

    void configThatIsADirectoryCountsAsMissing()
    {
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("config.ini")));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        ModalAnswerer answerer;
        QCOMPARE(RunQuillon(), 0);
        QDir::setCurrent(previous);
        QCOMPARE(answerer.messages, kNoConfig);
    }

    void configInUseByAnotherProgramCountsAsMissing()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("config.ini"));
        Write(path, ConfigFor(72));
        const int holder = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        {
            ModalAnswerer answerer;
            QCOMPARE(RunQuillon(), 0);
            QCOMPARE(answerer.messages, kNoConfig);
        }
        QDir::setCurrent(previous);
        ::close(holder);
    }

    void configWithTenThousandLinesUsesTheFirstFour()
    {
        ProgramUnderTest p(73, ConfigFor(73) + Lines(10000, "8"));
        QCOMPARE(p.program.shell.mixerAddress, QStringLiteral("127.0.0.73"));
    }

    void configWithOneLineOf50MegabytesStaysBounded()
    {
        const bool measured = ResetPeak();
        const long before = PeakMiB();
        QElapsedTimer clock;
        clock.start();
        ProgramUnderTest p(74, QByteArray(50 << 20, '7') + "\r\n0\r\n0\r\n74\r\n");
        QVERIFY(p.started);
        QVERIFY2(clock.elapsed() < 20000, "reading the line took too long");
        if (measured) {
            qInfo("config line of 50 MiB: peak resident memory grew by %ld MiB", PeakMiB() - before);
            // The line is held once as 16-bit text while it is read: about 100 MiB, twice at most.
            QVERIFY2(PeakMiB() - before < 300,
                     qPrintable(QStringLiteral("peak grew by %1 MiB").arg(PeakMiB() - before)));
        }
    }

    // --- scene files ----------------------------------------------------------------------

    void sceneWithTenThousandLinesReadsOnly79()
    {
        ProgramUnderTest p(75);
        const QString path = p.Folder() + QStringLiteral("/long.scene");
        Write(path, Lines(10000, "0"));
        p.answerer.TypeFileName(path);
        p.Click(80);
        QCOMPARE(Received(p.console, 18).size(), std::size_t{18});
        QTest::qWait(100);
        QCOMPARE(p.console.TakeAll().size(), std::size_t{0});
        QCOMPARE(p.answerer.messages.back(), (SeenMessage{QStringLiteral("Load..."), path}));
    }

    void sceneWithHugeLinesStaysBounded()
    {
        ProgramUnderTest p(76);
        const QString path = p.Folder() + QStringLiteral("/huge.scene");
        // A fader line, and a preamp line that its value field then holds and shows.
        QByteArray scene =
            QByteArray(20 << 20, '9') + "\r\n" + Lines(32, "0") + QByteArray(4 << 20, '5') + "\r\n" + Lines(45, "0");
        Write(path, scene);
        p.answerer.TypeFileName(path);
        const bool measured = ResetPeak();
        const long before = PeakMiB();
        QElapsedTimer clock;
        clock.start();
        p.Click(80);
        const auto messages = Received(p.console, 20);
        QVERIFY2(clock.elapsed() < 30000, "the load took too long");
        QCOMPARE(messages.size(), std::size_t{20});
        // So many nines wrap to -1 in 64 bits; the trackbar clamps that to 0.
        QCOMPARE(messages[18], (FloatMessage{"/ch/01/mix/fader", 0.0f}));
        QCOMPARE(messages[19].address, std::string("/headamp/000/gain"));
        // A text field holds at most 32767 characters; the rest of such a line is dropped.
        QCOMPARE(p.program.window.GetControlText(156), QString(32767, QLatin1Char('5')));
        if (measured) {
            qInfo("scene lines of 20 and 4 MiB: peak resident memory grew by %ld MiB", PeakMiB() - before);
            QVERIFY2(PeakMiB() - before < 400,
                     qPrintable(QStringLiteral("peak grew by %1 MiB").arg(PeakMiB() - before)));
        }
    }

    void sceneRemovedBetweenTheDialogAndTheOpenIsNotLoaded()
    {
        ProgramUnderTest p(77);
        const QString path = p.Folder() + QStringLiteral("/gone.scene");
        Write(path, Lines(79, "1"));
        // The file goes after the user chose it and before the program opens it.
        p.answerer.AnswerFileDialog([path](QWidget* dialog) {
            auto* nameBox = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            nameBox->setText(path);
            QFile::remove(path);
            QTest::keyClick(nameBox, Qt::Key_Return);
        });
        p.Click(80);
        QCOMPARE(p.console.TakeAll().size(), std::size_t{0});
        QCOMPARE(p.answerer.messages.size(), std::size_t{1});
        QVERIFY(p.answerer.messages[0].text.startsWith(QStringLiteral("The scene file could not be opened.")));
        QCOMPARE(p.program.window.GetControlState(67), 0);
    }

    // --- typed text -----------------------------------------------------------------------

    void typedTextIsAppliedByTheRules_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<float>("sent");
        QTest::addColumn<QString>("shown");
        QTest::newRow("leading zeros") << "0000000000000000000075" << 0.75f << "75";
        QTest::newRow("past 64 bits wraps, then clamps") << "99999999999999999999999" << 1.0f << "100";
        QTest::newRow("empty") << "" << 0.0f << "0";
    }

    void typedTextIsAppliedByTheRules()
    {
        QFETCH(QString, typed);
        QFETCH(float, sent);
        QFETCH(QString, shown);
        ProgramUnderTest p(78);
        auto* field = qobject_cast<QLineEdit*>(p.Control(117));
        QTest::mouseClick(field, Qt::LeftButton);
        p.Pump();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
        p.Pump();
        QCOMPARE(Received(p.console, 1), (std::vector<FloatMessage>{{"/ch/01/mix/fader", sent}}));
        QCOMPARE(field->text(), shown);
    }

    void labelsTakeTypingButNothingHappens()
    {
        ProgramUnderTest p(79);
        QWidget* label = p.Control(1);
        QTest::mouseClick(label, Qt::LeftButton);
        QTest::keyClicks(label, QStringLiteral("kick drum"));
        QTest::keyClick(label, Qt::Key_Return);
        p.Pump();
        QTest::qWait(60);
        QCOMPARE(p.console.TakeAll().size(), std::size_t{0});
    }

    // --- the network ----------------------------------------------------------------------

    void anUnreachableConsoleDisturbsNothing()
    {
        if (!OnlyLoopbackReachable()) {
            QSKIP("needs the loopback-only namespace, where such a send fails locally");
        }
        ProgramUnderTest p(80, QByteArray("192\r\n0\r\n2\r\n1\r\n"));
        QVERIFY(p.program.mixer.link);
        QElapsedTimer clock;
        clock.start();
        p.Click(72);                     // link: two sends, both refused at once
        QVERIFY(clock.elapsed() >= 100); // the pauses still pace the gesture
        QVERIFY(!p.Control(85)->isEnabled());
        QVERIFY(p.answerer.messages.empty());
        QCOMPARE(p.program.shell.quit, 0);
    }

    void nothingListensAndOnlyTheLinkIsBound()
    {
        ProgramUnderTest p(81);
        QCOMPARE(BoundUdpPorts(), std::vector<int>{10023}); // only the test's own socket
        QVERIFY(ListeningTcpPorts().empty());
        p.Click(204);
        const std::vector<int> bound = BoundUdpPorts();
        // The first send gave the link a local port; nothing else appeared.
        QCOMPARE(bound.size(), std::size_t{2});
        QVERIFY(ListeningTcpPorts().empty());
    }

private:
    // Local ports of the UDP sockets this process holds, from the kernel's socket tables.
    static std::vector<int> BoundUdpPorts() { return PortsOf("/proc/net/udp", ""); }
    static std::vector<int> ListeningTcpPorts() { return PortsOf("/proc/net/tcp", "0A"); }

    static std::vector<int> PortsOf(const char* table, const std::string& state)
    {
        std::set<std::string> inodes;
        for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System)) {
            const QString target =
                fd.symLinkTarget().isEmpty() ? QFile::symLinkTarget(fd.filePath()) : fd.symLinkTarget();
            if (target.contains(QStringLiteral("socket:["))) {
                inodes.insert(target.section(QLatin1Char('['), 1).chopped(1).toStdString());
            }
        }
        std::vector<int> ports;
        std::ifstream file(table);
        std::string line;
        std::getline(file, line);
        while (std::getline(file, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, st, queues, timer, retransmit, uid, timeout, inode;
            fields >> slot >> local >> remote >> st >> queues >> timer >> retransmit >> uid >> timeout >> inode;
            if (inodes.count(inode) && (state.empty() || st == state)) {
                ports.push_back(std::stoi(local.substr(local.find(':') + 1), nullptr, 16));
            }
        }
        std::sort(ports.begin(), ports.end());
        return ports;
    }
};

QTEST_MAIN(BadInputTest)
#include "BadInputTest.moc"
