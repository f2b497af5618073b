// quillon --follow: two windows through the stand-in, the user's hand against the console's
// pushes, a console lost and back, pushes from strangers, the subscription's renewal, and no
// listening at all without the option. What each push means is ConsoleChangeTest's table.
#include "gui/GuiFixture.h"

#include <QTest>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const Shell kFollow{.follow = true};

// A push from the console: one message with one argument, in ParseBytes' notation.
Bytes Push(const std::string& address, const std::string& argument)
{
    return ParseBytes('"' + address + "\"~ " + argument);
}

} // namespace

class FollowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What window A sets, and a name a desk gives, show in window B, which sends no set itself.
    void oneWindowFollowsTheOther()
    {
        ChildProcess monitor(MonitorCommand({"--answer", "--bind", "127.0.0.70"}));
        QVERIFY(monitor.WaitForLine("listening on 127.0.0.70:10023"));
        ProgramUnderTest a(71, ConfigFor(70), kFollow), b(72, ConfigFor(70), kFollow);
        QCOMPARE(b.program.window.IndicatorText(), u"Following 127.0.0.70"_s);
        QWidget* windowA = a.program.window.MainWindow();
        windowA->activateWindow(); // B opened last; the user turns to A
        QVERIFY(QTest::qWaitForWindowActive(windowA));
        a.Do(u"key 88 PgUp; type 164 30; return; click 190; click 73"_s);
        UdpReceiver(73, 0).SendTo(70, 10023, Push("/ch/05/config/name", R"(",s"~ "Kick"~)"));
        const QString a_set = uR"(88=10 121="10" 164="30" 190=1 73=1 87:off 120:off)"_s;
        QTRY_COMPARE_WITH_TIMEOUT(b.Shown(a_set), a_set, 200);
        QTRY_COMPARE_WITH_TIMEOUT(b.Control(88)->toolTip(), u"Channel 05 fader, Kick\nConsole level: -54.0 dB"_s, 200);
        ::kill(monitor.pid, SIGTERM);
        QCOMPARE(monitor.Finish(), 0);
        const Words& log = monitor.Lines(); // A's five sets and the desk's name, nothing from B
        QCOMPARE(std::count_if(log.begin(), log.end(), IsSetLine), std::ptrdiff_t{6});
    }

    // A drag in progress and typed text are the user's: pushes for them wait for the user's send.
    void theHandWins()
    {
        FakeConsole console(74);
        ProgramUnderTest p(75, ConfigFor(74), kFollow);
        p.Do(u"type 122 40; type 166 30"_s);
        QWidget* fader = p.Control(88);
        const QPoint thumb(fader->width() / 2, fader->height() - 6);
        QTest::mousePress(fader, Qt::LeftButton, {}, thumb);
        console.Push(Push("/ch/05/mix/fader", R"(",f"~ 3F000000)"));
        console.Push(Push("/ch/06/mix/fader", R"(",f"~ 3F000000)"));
        console.Push(Push("/headamp/005/gain", R"(",f"~ 3F000000)"));
        QTRY_COMPARE(p.program.window.GetControlState(89), 50);
        const QString held = uR"(88=0 121="0" 89=50 122="40" 166="30")"_s;
        QCOMPARE(p.Shown(held), held);
        QTest::mouseRelease(fader, Qt::LeftButton, {}, thumb);
        p.Do(u"key 166; return"_s); // the typed gain goes to the console; the field is no longer held
        console.Push(Push("/headamp/005/gain", R"(",f"~ 3F000000)"));
        console.Push(Push("/ch/05/mix/fader", R"(",f"~ 3F000000)"));
        QTRY_COMPARE(p.Shown(u"88=50 166=\"50\""_s), u"88=50 166=\"50\""_s);
    }

    // Quiet, the console is lost within 5 s; back, it is read again, with what changed meanwhile.
    // Touches go out all the while, and the window itself sends no set.
    void lostAndBack()
    {
        FakeConsole console(76);
        ProgramUnderTest p(78, ConfigFor(76), kFollow);
        console.Silence(true);
        QTRY_VERIFY_WITH_TIMEOUT(p.program.window.IndicatorText().startsWith(u"No answer from 127.0.0.76 since "_s),
                                 5000);
        p.Do(u"click 190"_s);
        console.Set("/ch/07/mix/fader", Push("/ch/07/mix/fader", R"(",f"~ 3F000000)"));
        console.Silence(false);
        QTRY_COMPARE_WITH_TIMEOUT(p.program.window.IndicatorText(), u"Following 127.0.0.76"_s, 5000);
        QTRY_COMPARE(p.program.window.GetControlState(90), 50);
        std::vector<std::string> sets; // the touch, and not one of the window's own
        std::ranges::copy_if(console.Received(), std::back_inserter(sets), [](auto& a) { return a.ends_with(",f"); });
        QCOMPARE(sets, std::vector<std::string>{"/ch/03/mix/on ,f"});
    }

    // Load, Save and Reset hold the console's changes back: Save writes the window as it was, and the
    // change shows after it. After Load, Reset (on its new link) and a scene recalled on the desk the
    // window reads the whole mix again: the console's truth, not what the scene said.
    void commandsHoldChangesAndReadAgain()
    {
        FakeConsole console(87);
        ProgramUnderTest p(88, ConfigFor(87), kFollow);
        const auto reads = [&console] { return std::ranges::count(console.Received(), "/bus/08/config/name"); };
        p.answerer.TypeFileName(p.Path(u"held.scene"_s),
                                [&console] { console.Push(Push("/dca/1/fader", R"(",f"~ 3F000000)")); });
        p.Click(kSaveButton);
        QCOMPARE(ReadFile(p.Path(u"held.scene"_s)), TestData("start-up.scene"));
        QTRY_COMPARE(p.program.window.GetControlText(134), u"50"_s);
        WriteFile(p.Path(u"in.scene"_s), TestData("example.scene"));
        p.answerer.TypeFileName(p.Path(u"in.scene"_s));
        p.Click(kLoadButton);
        p.FinishRead();
        QCOMPARE(std::pair(reads(), p.program.window.GetControlState(84)),
                 std::pair(std::ptrdiff_t{2}, std::int64_t{0}));
        console.Set("/ch/06/mix/fader", Push("/ch/06/mix/fader", R"(",f"~ 3F000000)"));
        console.Push(Push("/-show/prepos/current", R"(",i"~ 00000003)"));
        QTRY_COMPARE(p.program.window.GetControlState(89), 50);
        p.FinishRead();
        p.Click(kResetButton);
        p.FinishRead();
        QCOMPARE(reads(), std::ptrdiff_t{4});
        UdpReceiver anotherPort(87, 0), anotherHost(150); // strangers: their pushes count for nothing
        console.Push(Push("/ch/08/mix/fader", R"(",f"~ 3F000000)"), &anotherPort);
        console.Push(Push("/ch/09/mix/fader", R"(",f"~ 3F000000)"), &anotherHost);
        console.Push(Push("/ch/07/mix/fader", R"(",f"~ 3F000000)"));
        QTRY_COMPARE(p.program.window.GetControlState(90), 50);
        QCOMPARE(p.Shown(u"91=0 92=0"_s), u"91=0 92=0"_s);
    }

    void renewsTheSubscriptionBeforeItRunsOut()
    {
        FakeConsole console(83);
        ProgramUnderTest p(84, ConfigFor(83), kFollow, [](Program& program) {
            program.follow.renewal = std::chrono::milliseconds(100); // on its own timer, not the heartbeat's
            program.follow.heartbeat = std::chrono::hours(1);
        });
        QTRY_VERIFY(std::ranges::count(console.Received(), "/xremote") >= 3 &&
                    std::ranges::count(console.Received(), "/meters ,siii") >= 3);
        const std::vector<std::string> received = console.Received(); // subscribed right after the read
        QCOMPARE(std::ranges::find(received, "/xremote") - received.begin(), std::ptrdiff_t{107});
    }

    // Without --follow nothing from the console is read: a push changes nothing.
    void withoutTheOptionNothingIsReceived()
    {
        FakeConsole console(85);
        ProgramUnderTest p(86, ConfigFor(85));
        p.Do(u"key 84 PgUp"_s);
        QTRY_COMPARE(console.Received(), std::vector<std::string>{"/ch/01/mix/fader ,f"}); // no meters asked for
        console.Push(Push("/ch/02/mix/fader", R"(",f"~ 3F000000)"));
        QTest::qWait(300);
        p.Pump();
        QCOMPARE(p.program.window.GetControlState(85), 0);
        QVERIFY(p.program.window.IndicatorText().isEmpty());
    }
};

QTEST_MAIN(FollowTest)
#include "FollowTest.moc"
