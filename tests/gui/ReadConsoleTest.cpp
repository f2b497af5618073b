// quillon --read-console and the read at the start of --follow: the window starts from the
// console's mix, on a fast or a slow link, with nothing sent but the questions; a console that
// never answers, and answers that must not count.
#include "gui/GuiFixture.h"
#include "osc/OscDecoder.h"

#include <QGuiApplication>
#include <QTest>
#include <csignal>

using namespace Qt::StringLiterals;

class ReadConsoleTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsFromTheMixTheStandInHolds_data()
    {
        QTest::addColumn<QString>("delay");
        QTest::addColumn<bool>("follow");
        QTest::newRow("--read-console on loopback") << u"0"_s << false;
        QTest::newRow("--follow over a link of 150 ms each way") << u"150"_s << true;
    }

    void startsFromTheMixTheStandInHolds()
    {
        QFETCH(QString, delay);
        QFETCH(bool, follow);
        ChildProcess monitor(MonitorCommand({"--answer", "--bind", "127.0.0.61", "--delay", delay.toStdString()}));
        QVERIFY(monitor.WaitForLine("listening on 127.0.0.61:10023"));
        UdpReceiver desk(60, 0); // another remote control left this mix on the console
        for (const Bytes& set : ExpectedDatagrams({"read-mix.osc"})) {
            desk.SendTo(61, 10023, set);
        }
        QVERIFY(monitor.WaitForLine("/ch/05/config/name"));
        ProgramUnderTest p(60, ConfigFor(61), Shell{.readConsole = !follow, .follow = follow});
        QVERIFY(p.answerer.messages.empty());
        const QString mix = uR"(84=75 117="75" 85=75 100=80 133="80" 156="30" 190=1 188=0 72=1 85:off 118:off)"_s;
        QCOMPARE(p.Shown(mix), mix);
        QCOMPARE(p.Control(88)->toolTip(),
                 follow ? u"Channel 05 fader, Kick\nConsole level: -inf dB"_s : u"Console level: -inf dB"_s);
        p.answerer.TypeFileName(p.Path(u"mix.scene"_s)); // as a window set by hand would save it
        p.Click(kSaveButton);
        QCOMPARE(ReadFile(p.Path(u"mix.scene"_s)), TestData("read-mix.scene"));
        ::kill(monitor.pid, SIGTERM);
        QCOMPARE(monitor.Finish(), 0);
        const Words& log = monitor.Lines(); // the desk's seven sets and no other
        QCOMPARE(std::count_if(log.begin(), log.end(), IsSetLine), std::ptrdiff_t{7});
    }

    void aConsoleThatNeverAnswers()
    {
        ProgramUnderTest p(62, ConfigFor(62), Shell{.readConsole = true});
        const SeenMessage told{u"Quillon"_s, u"The console at 127.0.0.62 did not answer. The window shows zeros."_s};
        QCOMPARE(p.answerer.messages, std::vector{told});
        QCOMPARE(p.console.TakeAll(), ExpectedDatagrams({"read-unanswered.osc"}));
    }

    // A console of the test answers each question by tests/data/read-answers.tsv: only answers
    // from the console's own address and port count, matched by their address, late ones too.
    void answersThatDoNotCountAreIgnored()
    {
        UdpReceiver anotherPort(64, 0), anotherHost(65);
        const std::vector<Words> answers = ReadTable("read-answers.tsv");
        FakeConsole console(64, [&](const std::string& address) {
            const Words& row = *std::find_if(answers.begin(), answers.end(), [&](const Words& answer) {
                return address.find(answer[0]) != std::string::npos;
            });
            const QString bytes = QString::fromStdString(row[2]).replace(u'@', QString::fromStdString(address));
            return FakeAnswer{ParseBytes(bytes.toStdString()),
                              row[1] == "another port"   ? &anotherPort
                              : row[1] == "another host" ? &anotherHost
                                                         : nullptr,
                              row[1] == "late" ? 700 : 0};
        });
        ProgramUnderTest p(63, ConfigFor(64), Shell{.readConsole = true});
        const SeenMessage told{u"Quillon"_s, u"The console at 127.0.0.64 did not answer 6 of 74 questions. Those "
                                             "controls show zeros."_s};
        QCOMPARE(p.answerer.messages, std::vector{told});
        const QString shown =
            uR"(84=100 188=1 85=0 86=0 87=0 88=0 89=0 90=0 91=50 92=40 124="50" 156="50" 72=1 85:off)"_s;
        QCOMPARE(p.Shown(shown), shown);
    }

    // Over a link that answers 300 ms late the window stays usable through the read at start: a
    // click on "M" 9 goes out at once, between the questions, and its box stays checked although
    // the console's "on" comes later.
    void aClickDuringTheReadIsSentAndKept_data()
    {
        QTest::addColumn<bool>("follow");
        QTest::newRow("--read-console") << false;
        QTest::newRow("--follow") << true;
    }
    void aClickDuringTheReadIsSentAndKept()
    {
        QFETCH(bool, follow);
        FakeConsole console(91, [](const std::string& address) { return FakeAnswer{InitialAnswer(address), {}, 300}; });
        ProgramUnderTest p(90, ConfigFor(91), Shell{.readConsole = !follow, .follow = follow}, {}, true);
        QVERIFY(p.program.window.IndicatorText().startsWith(u"Reading the mix from 127.0.0.91: "_s));
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
        p.Click(196);
        QTRY_VERIFY(std::ranges::count(console.Received(), "/ch/09/mix/on ,f") == 1);
        p.FinishRead();
        const std::vector<std::string> received = console.Received();
        QVERIFY(std::ranges::count(received, "/ch/09/mix/on") > 0);
        QVERIFY(std::ranges::find(received, "/ch/09/mix/on ,f") < std::ranges::find(received, "/ch/09/mix/on"));
        QCOMPARE(p.Shown(u"196=1 195=0"_s), u"196=1 195=0"_s);
        QCOMPARE(p.answerer.messages, std::vector<SeenMessage>{});
        QVERIFY(!p.program.window.IndicatorText().startsWith(u"Reading"_s));
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    // A link that loses the first two answers to some questions, as a busy Wi-Fi does, and is slow
    // with the third: asked again, every value shows and nothing is said to be missing.
    void answersLostTwiceAreAskedFor()
    {
        const std::map<std::string, std::string> lossy{{"/ch/05/mix/fader", "3F400000"},
                                                       {"/headamp/008/gain", "3F000000"},
                                                       {"/ch/12/mix/on", "00000000"},
                                                       {"/config/chlink/3-4", "00000001"}};
        std::map<std::string, int> asked; // the console's thread alone touches it
        FakeConsole console(93, [&](const std::string& address) -> std::optional<FakeAnswer> {
            const auto found = lossy.find(address);
            if (found == lossy.end()) {
                return FakeAnswer{InitialAnswer(address)};
            }
            const char* tag = address.ends_with("/on") || address.starts_with("/config") ? R"(",i")" : R"(",f")";
            // The third answer comes late, after the console fell silent otherwise.
            return ++asked[address] <= 2
                       ? std::nullopt
                       : std::optional(
                             FakeAnswer{ParseBytes('"' + address + "\"~ " + tag + "~ " + found->second), {}, 400});
        });
        ProgramUnderTest p(92, ConfigFor(93), Shell{.readConsole = true});
        QCOMPARE(p.answerer.messages, std::vector<SeenMessage>{});
        const QString shown = uR"(88=75 121="75" 172="50" 199=1 73=1 87:off)"_s;
        QCOMPARE(p.Shown(shown), shown);
    }
};

QTEST_MAIN(ReadConsoleTest)
#include "ReadConsoleTest.moc"
