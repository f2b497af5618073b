// quillon --read-console: the window starts from the console's mix, with nothing sent but the
// questions; a console that never answers, and answers that must not count.
#include "gui/GuiFixture.h"
#include "osc/OscDecoder.h"

#include <QTest>
#include <csignal>
#include <thread>

using namespace Qt::StringLiterals;

class ReadConsoleTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsFromTheMixTheStandInHolds()
    {
        ChildProcess monitor(MonitorCommand({"--answer", "--bind", "127.0.0.61", "--port", "10023"}));
        QVERIFY(monitor.WaitForLine("listening on 127.0.0.61:10023"));
        UdpReceiver desk(60, 0); // another remote control left this mix on the console
        for (const Bytes& set : ExpectedDatagrams({"read-mix.osc"})) {
            desk.SendTo(61, 10023, set);
        }
        QVERIFY(monitor.WaitForLine("/config/chlink/1-2"));
        ProgramUnderTest p(60, ConfigFor(61), true);
        QVERIFY(p.answerer.messages.empty());
        const QString mix = uR"(84=75 117="75" 85=75 100=80 133="80" 156="30" 190=1 188=0 72=1 85:off 118:off)"_s;
        QCOMPARE(p.Shown(mix), mix);
        p.answerer.TypeFileName(p.Path(u"mix.scene"_s)); // as a window set by hand would save it
        p.Click(kSaveButton);
        QCOMPARE(ReadFile(p.Path(u"mix.scene"_s)), TestData("read-mix.scene"));
        ::kill(monitor.pid, SIGTERM);
        monitor.Finish();
        const Words& log = monitor.Lines();
        QCOMPARE(std::count_if(log.begin(), log.end(),
                               [](const std::string& line) { return line.find("query") != std::string::npos; }),
                 std::ptrdiff_t{74});
    }

    void aConsoleThatNeverAnswers()
    {
        ProgramUnderTest p(62, ConfigFor(62), true);
        const SeenMessage told{u"Quillon"_s, u"The console at 127.0.0.62 did not answer. The window shows zeros."_s};
        QCOMPARE(p.answerer.messages, std::vector{told});
        QCOMPARE(p.console.TakeAll(), ExpectedDatagrams({"read-first-queries.osc"}));
    }

    // A stand-in console answers each query by tests/data/read-answers.tsv.
    void answersThatDoNotCountAreIgnored()
    {
        UdpReceiver console(64), anotherPort(64, 0), anotherHost(65);
        const std::vector<Words> answers = ReadTable("read-answers.tsv");
        std::thread fake([&] {
            int port = 0;
            for (std::string address; address != "/config/chlink/15-16";) { // the last question
                address = DecodeDatagram(console.TakeOne(port, std::chrono::seconds(2))).messages.at(0).address;
                const Words& row = *std::find_if(answers.begin(), answers.end(), [&](const Words& answer) {
                    return address.find(answer[0]) != std::string::npos;
                });
                const UdpReceiver& from = row[1] == "another port"   ? anotherPort
                                          : row[1] == "another host" ? anotherHost
                                                                     : console;
                const QString answer = QString::fromStdString(row[2]).replace(u'@', QString::fromStdString(address));
                from.SendTo(1, port, ParseBytes(answer.toStdString()));
            }
        });
        ProgramUnderTest p(63, ConfigFor(64), true);
        fake.join();
        const SeenMessage told{u"Quillon"_s, u"The console at 127.0.0.64 did not answer 6 of 74 questions. Those "
                                             "controls show zeros."_s};
        QCOMPARE(p.answerer.messages, std::vector{told});
        const QString shown = uR"(84=100 188=1 85=0 86=0 87=0 88=0 89=0 90=0 91=50 124="50" 156="50" 72=1 85:off)"_s;
        QCOMPARE(p.Shown(shown), shown);
    }
};

QTEST_MAIN(ReadConsoleTest)
#include "ReadConsoleTest.moc"
