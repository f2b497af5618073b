// Reset, Load and Save as the console and the disk see them: datagram sequences and files byte for
// byte (tests/data), the window afterwards, what the user is told, input that arrives meanwhile,
// and the failures of a folder or file this user may not use.
#include "gui/GuiFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A click on Reset that arrives while a command runs: the command lets it go at its next drain,
// so no second command may follow. `busy` tells whether the wait cursor was up at that moment.
void ClickWhileBusy(ProgramUnderTest& p, bool& busy)
{
    QWidget* reset = p.Control(kResetButton);
    QTimer::singleShot(0, reset, [reset, &busy] {
        busy = WaitCursorUp();
        QTest::mouseClick(reset, Qt::LeftButton);
    });
}

} // namespace

class SceneTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void resetSendsItsSequenceAndZeroesTheWindow()
    {
        ProgramUnderTest p(40);
        WriteFile(p.Path(u"state"_s), "a file where the snapshots' folder goes"); // Reset goes on without one
        p.Do(u"key 84 PgUp; click 79; click 190; click 67; type 156 30; return"_s);
        p.console.TakeAll();
        bool busy = false;
        ClickWhileBusy(p, busy);
        QElapsedTimer clock;
        clock.start();
        p.Click(kResetButton);
        QVERIFY(clock.elapsed() >= 69 * 50); // each message waits out its 50 ms
        QVERIFY(busy && !QGuiApplication::overrideCursor() && !p.answerer.waitCursorSeen);
        QCOMPARE(p.console.WaitFor(69), ExpectedDatagrams({"reset.osc"}));
        QCOMPARE(p.answerer.messages, (std::vector<SeenMessage>{{u"Reset..."_s, u"Reset"_s}}));
        const QString zeroed = uR"(84=0 117="0" 79=0 99:on 132:on 16:on 190=0 191=0 67=0 156="0")"_s;
        QCOMPARE(p.Shown(zeroed), zeroed);
        p.Pump();
        QVERIFY(p.console.TakeAll().empty());
    }

    void resetReadsConfigAgain()
    {
        ProgramUnderTest p(41);
        UdpReceiver moved(42);
        WriteFile(p.Path(u"config.ini"_s), ConfigFor(42));
        const int sockets = SocketCount();
        p.Click(kResetButton);
        QCOMPARE(SocketCount(), sockets); // the new link replaced the old one
        QCOMPARE(moved.WaitFor(69).size(), std::size_t{69});
        QVERIFY(p.console.TakeAll().empty());
        QFile::remove(p.Path(u"config.ini"_s));
        p.Click(kResetButton);
        QVERIFY(p.program.shell.quit);
        QCOMPARE(p.answerer.messages.back(), (SeenMessage{u"No config.ini"_s, u"Please create the config.ini."_s}));
        QVERIFY(moved.TakeAll().empty());
    }

    void loadSendsTheSceneAndSaveWritesItBack_data()
    {
        QTest::addColumn<QByteArray>("scene");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("savedAsLoaded");
        QTest::addColumn<QString>("hand"); // clicks in the middle of the Load
        QTest::newRow("example") << TestData("example.scene") << "load-example.osc"
                                 << "84=75 117=\"75\" 100=80 156=\"30\" 67=1 190=1 85=0" << true << "";
        QTest::newRow("hundredths no float holds") << TestData("hundredths.scene") << "load-hundredths.osc"
                                                   << "84=29 117=\"29\" 85=57 118=\"57\"" << true << "";
        QTest::newRow("boxes at 2 and -1") << TestData("nonzero.scene") << "load-nonzero.osc"
                                           << "189=1 195=1 190=0" << false << "";
        // Load lets pending input go right after its preamp lines: a fader paged up by a click on
        // its groove while the only gain goes out is sent before the bank line; a box's click is dropped.
        QTest::newRow("input after the preamps")
            << TestData("drain.scene") << "load-drain.osc"
            << "109=10 142=\"10\" 189=0 156=\"30\"" << false << "at 19 click 109 189; ";
    }

    void loadSendsTheSceneAndSaveWritesItBack()
    {
        QFETCH(QByteArray, scene);
        QFETCH(QString, sent);
        QFETCH(QString, shown);
        QFETCH(bool, savedAsLoaded);
        QFETCH(QString, hand);
        ProgramUnderTest p(43);
        WriteFile(p.Path(u"in.scene"_s), scene);
        bool busy = false;
        p.answerer.TypeFileName(p.Path(u"in.scene"_s), [&p, &busy] { ClickWhileBusy(p, busy); });
        p.Do(hand + u"click 80"_s);
        QVERIFY(busy && !QGuiApplication::overrideCursor());
        const std::vector<Bytes> expected = ExpectedDatagrams({"load-prelude.osc", sent.toLatin1().constData()});
        QCOMPARE(p.Received(expected.size()), expected);
        QCOMPARE(p.answerer.messages, (std::vector<SeenMessage>{{u"Load..."_s, p.Path(u"in.scene"_s)}}));
        QCOMPARE(p.Shown(shown), shown);
        p.Pump();
        QVERIFY(p.console.TakeAll().empty());

        busy = false;
        p.answerer.TypeFileName(p.Path(u"out.scene"_s), [&p, &busy] { ClickWhileBusy(p, busy); });
        p.Click(kSaveButton);
        QVERIFY(busy && !QGuiApplication::overrideCursor() && !p.answerer.waitCursorSeen);
        QCOMPARE(p.answerer.messages.back(), (SeenMessage{u"Save..."_s, p.Path(u"out.scene"_s)}));
        if (savedAsLoaded) {
            QCOMPARE(ReadFile(p.Path(u"out.scene"_s)), scene);
        }
        p.Pump();
        QVERIFY(p.console.TakeAll().empty());
    }

    // Load and Reset first keep the mix as Save writes it (at start, then as loaded); the newest 50
    // snapshots stay.
    void snapshotsKeepTheMixBeforeLoadAndReset()
    {
        ProgramUnderTest p(120);
        const QString shelf = p.Path(u"state/quillon/snapshots/"_s);
        QDir().mkpath(shelf);
        for (int second = 10; second < 59; ++second)
            WriteFile(shelf + u"2000-01-01 00-00-%1 before Reset.scene"_s.arg(second), "old");
        WriteFile(p.Path(u"in.scene"_s), TestData("example.scene"));
        p.answerer.TypeFileName(p.Path(u"in.scene"_s));
        p.Click(kLoadButton);
        p.Click(kResetButton);
        const QStringList kept = Entries(shelf);
        QCOMPARE(kept.size(), 50);
        QCOMPARE(kept[0], u"2000-01-01 00-00-11 before Reset.scene"_s);
        const auto snapshot = [&](int i) { return std::pair(kept[i].mid(19), ReadFile(shelf + kept[i])); };
        QCOMPARE(snapshot(48), std::pair(u" before Load.scene"_s, TestData("start-up.scene")));
        QCOMPARE(snapshot(49), std::pair(u" before Reset.scene"_s, TestData("example.scene")));
    }

    void cancelledDialogsChangeNothing()
    {
        ProgramUnderTest p(44);
        p.Click(kSaveButton);
        p.Click(kLoadButton);
        QCOMPARE(p.answerer.messages, (std::vector<SeenMessage>{{u"Quillon"_s, u"The requester was canceled."_s},
                                                                {u"Save..."_s, QString()},
                                                                {u"Load..."_s, QString()}}));
        QCOMPARE(Entries(p.folder_.path()), QStringList{u"config.ini"_s});
        QVERIFY(p.console.TakeAll().empty());
    }

    // A scene this user may not read, a folder it may not write into. Run by CTest as an
    // unprivileged user as well, where it cannot be skipped.
    void forbiddenFilesChangeNothing()
    {
        ProgramUnderTest p(45);
        const QString locked = p.Path(u"locked.scene"_s), shelf = p.Path(u"shelf"_s);
        WriteFile(locked, TestData("example.scene"));
        QDir().mkpath(shelf);
        WriteFile(shelf + u"/old.scene"_s, "old");
        QFile::setPermissions(locked, {});
        QFile::setPermissions(shelf, QFile::ReadOwner | QFile::ExeOwner);
        if (NeedsUnprivilegedUser(locked, R_OK) || NeedsUnprivilegedUser(shelf, W_OK)) {
            QSKIP("this user may use any file; CTest runs this case unprivileged");
        }
        p.answerer.TypeFileName(locked);
        p.Click(kLoadButton);
        QVERIFY(p.console.TakeAll().empty()); // not even the initialisation
        p.answerer.TypeFileName(shelf + u"/old.scene"_s);
        p.Click(kSaveButton);
        QCOMPARE(p.answerer.messages.size(), std::size_t{2});
        QCOMPARE(p.answerer.messages[0].text,
                 u"The scene file could not be opened.\n%1\nPermission denied"_s.arg(locked));
        QVERIFY(p.answerer.messages[1].text.startsWith(u"The scene was not saved.\n%1/old.scene\n"_s.arg(shelf)));
        QCOMPARE(ReadFile(shelf + u"/old.scene"_s), QByteArray("old"));
        QCOMPARE(Entries(shelf), QStringList{u"old.scene"_s});
    }
};

QTEST_MAIN(SceneTest)
#include "SceneTest.moc"
