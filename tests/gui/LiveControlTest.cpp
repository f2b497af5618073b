// The live controls as the user works them: faders by mouse and keyboard, typed values and
// Return, the M, link and fader-bank boxes, Edit Config.ini and Updates, and sends that fail.
#include "gui/GuiFixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// One message as text, so a failed comparison shows what went out; 9 digits tell floats apart.
QString Msg(const std::string& address, float value)
{
    return QString::fromStdString(address) + QLatin1Char(' ') + QString::number(static_cast<double>(value), 'g', 9);
}

// A fader message for a trackbar position, as the console should read it.
QString FaderMsg(const std::string& address, std::int64_t position)
{
    return Msg(address, static_cast<float>(position) / 100.0f);
}

// What the console received since the last look, oldest first. Handlers send before the user's
// input returns, so nothing is still on its way.
QStringList Sent(ProgramUnderTest& p)
{
    QStringList sent;
    for (const FloatMessage& message : DecodeFloatMessages(p.console.TakeAll())) {
        sent << Msg(message.address, message.value);
    }
    return sent;
}

long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Where the thumb is drawn, so a press lands on it rather than in the channel.
QPoint ThumbCentre(const QSlider* slider)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.singleStep = slider->singleStep();
    option.pageStep = slider->pageStep();
    option.tickPosition = slider->tickPosition();
    option.tickInterval = slider->tickInterval();
    option.upsideDown =
        slider->orientation() == Qt::Vertical ? !slider->invertedAppearance() : slider->invertedAppearance();
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider).center();
}

// A key pressed wherever the focus is, then what it queued handled.
void PressKey(ProgramUnderTest& p, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* focused = QApplication::focusWidget();
    QVERIFY(focused);
    QTest::keyClick(focused, key, modifiers);
    p.Pump();
}

const QString kChannelBank = QStringLiteral("/-stat/chfaderbank");
const QString kGroupBank = QStringLiteral("/-stat/grpfaderbank");

} // namespace

class LiveControlTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void draggingAFaderSendsEachPositionAndTheRelease_data()
    {
        QTest::addColumn<int>("trackbar");
        QTest::addColumn<QString>("address");
        QTest::newRow("channel 1") << 84 << "/ch/01/mix/fader";
        QTest::newRow("main stereo") << 100 << "/main/st/mix/fader";
        QTest::newRow("DCA 8") << 108 << "/dca/8/fader";
        QTest::newRow("bus 1") << 109 << "/bus/01/mix/fader";
    }

    void draggingAFaderSendsEachPositionAndTheRelease()
    {
        QFETCH(int, trackbar);
        QFETCH(QString, address);
        ProgramUnderTest p(30);
        auto* slider = qobject_cast<QSlider*>(p.Control(trackbar));
        const QPoint thumb = ThumbCentre(slider);
        QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
        QCOMPARE(Sent(p), QStringList()); // grabbing the thumb moves nothing

        std::int64_t previous = 0;
        for (const int up : {30, 60, 90}) {
            QTest::mouseMove(slider, thumb - QPoint(0, up));
            const std::int64_t position = p.program.window.GetControlState(trackbar);
            QVERIFY2(position > previous, "dragging up raises the fader");
            QCOMPARE(Sent(p), QStringList{FaderMsg(address.toStdString(), position)});
            QCOMPARE(p.program.window.GetControlText(trackbar + 33), QString::number(position));
            previous = position;
        }
        QTest::mouseRelease(slider, Qt::LeftButton, {}, thumb - QPoint(0, 90));
        QCOMPARE(p.program.window.GetControlState(trackbar), previous);
        QCOMPARE(Sent(p), QStringList{FaderMsg(address.toStdString(), previous)});
        QCOMPARE(p.program.window.GetControlText(trackbar + 33), QString::number(previous));

        p.Pump(); // the queued trackbar events start nothing more
        QCOMPARE(Sent(p), QStringList());
    }

    void keyboardStepsSendTheirPositions()
    {
        ProgramUnderTest p(31);
        HostWindow& window = p.program.window;
        window.SetControlState(84, 50);
        QCOMPARE(Sent(p), QStringList()); // the program's own change reaches no handler
        QCOMPARE(window.GetControlText(117), QStringLiteral("0"));

        p.Control(84)->setFocus();
        std::vector<std::int64_t> positions;
        for (const Qt::Key key : {Qt::Key_Up, Qt::Key_PageUp, Qt::Key_End, Qt::Key_Home}) {
            PressKey(p, key);
            const std::int64_t position = window.GetControlState(84);
            QCOMPARE(Sent(p), QStringList{FaderMsg("/ch/01/mix/fader", position)});
            QCOMPARE(window.GetControlText(117), QString::number(position));
            positions.push_back(position);
        }
        QVERIFY(positions[0] > 50);
        QVERIFY(positions[1] > positions[0]);
        // Which end Home and End go to is the platform's; between them they reach both.
        QCOMPARE(std::min(positions[2], positions[3]), std::int64_t{0});
        QCOMPARE(std::max(positions[2], positions[3]), std::int64_t{100});
    }

    void typedValueGoesOutAsTheExactMessage()
    {
        ProgramUnderTest p(33);
        TypeInto(p, 117, QStringLiteral("75"));
        QCOMPARE(Sent(p), QStringList()); // typing alone sends nothing
        PressKey(p, Qt::Key_Return);
        // "/ch/01/mix/fader" + 4 NUL | ",f" + 2 NUL | 0.75f big-endian
        const Bytes expected{0x2F, 0x63, 0x68, 0x2F, 0x30, 0x31, 0x2F, 0x6D, 0x69, 0x78, 0x2F, 0x66, 0x61, 0x64,
                             0x65, 0x72, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x66, 0x00, 0x00, 0x3F, 0x40, 0x00, 0x00};
        const std::vector<Bytes> datagrams = p.console.TakeAll();
        QCOMPARE(datagrams.size(), std::size_t{1});
        QCOMPARE(datagrams.front(), expected);
        QCOMPARE(p.program.window.GetControlState(84), std::int64_t{75});
        QCOMPARE(p.program.window.GetControlText(117), QStringLiteral("75"));
    }

    void returnAppliesATypedFaderValue_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("address");
        QTest::newRow("75 and Return") << 117 << "75" << int(Qt::Key_Return) << 75 << "/ch/01/mix/fader";
        QTest::newRow("75 and keypad Enter") << 117 << "75" << int(Qt::Key_Enter) << 75 << "/ch/01/mix/fader";
        QTest::newRow("250 stops at 100") << 117 << "250" << int(Qt::Key_Return) << 100 << "/ch/01/mix/fader";
        QTest::newRow("an emptied field applies 0") << 117 << "" << int(Qt::Key_Return) << 0 << "/ch/01/mix/fader";
        QTest::newRow("leading zeros") << 133 << "007" << int(Qt::Key_Return) << 7 << "/main/st/mix/fader";
        QTest::newRow("last bus") << 149 << "100" << int(Qt::Key_Return) << 100 << "/bus/08/mix/fader";
    }

    void returnAppliesATypedFaderValue()
    {
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(int, position);
        QFETCH(QString, address);
        ProgramUnderTest p(32);
        p.program.window.SetControlState(field - 33, 30); // so that 0 is a change too
        TypeInto(p, field, typed);
        PressKey(p, static_cast<Qt::Key>(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QCOMPARE(Sent(p), QStringList{FaderMsg(address.toStdString(), position)});
        QCOMPARE(p.program.window.GetControlState(field - 33), std::int64_t{position});
        QCOMPARE(p.program.window.GetControlText(field), QString::number(position));
    }

    void returnBeforeAnyValueFieldWasTouchedDoesNothing()
    {
        ProgramUnderTest p(34);
        HostWindow& window = p.program.window;
        window.SetControlText(117, QStringLiteral("75")); // the program's text; no touch
        p.Control(84)->setFocus();
        PressKey(p, Qt::Key_Return);
        QCOMPARE(Sent(p), QStringList());

        // Focus in the field, but its event not yet handled: Return is still no shortcut, so
        // it neither applies now nor is remembered for later.
        p.Control(117)->setFocus();
        QTest::keyClick(p.Control(117), Qt::Key_Return);
        p.Pump();
        QCOMPARE(Sent(p), QStringList());
        QCOMPARE(window.GetControlState(84), std::int64_t{0});

        // That focus event armed it: the next Return applies.
        PressKey(p, Qt::Key_Return);
        QCOMPARE(Sent(p), QStringList{Msg("/ch/01/mix/fader", 0.75f)});
    }

    void returnElsewhereDoesNothing_data()
    {
        QTest::addColumn<int>("focus");
        QTest::newRow("M check box") << 188;
        QTest::newRow("link check box") << 72;
        QTest::newRow("fader-bank check box") << 69;
        QTest::newRow("Load Scene button") << 80;
        QTest::newRow("Updates button") << 83;
        QTest::newRow("trackbar") << 84;
        QTest::newRow("label field") << 1;
    }

    void returnElsewhereDoesNothing()
    {
        QFETCH(int, focus);
        ProgramUnderTest p(35);
        HostWindow& window = p.program.window;
        TypeInto(p, 117, QStringLiteral("75")); // armed, a value waiting in the field
        p.Control(focus)->setFocus();
        p.Pump();
        const std::int64_t state = window.GetControlState(focus);
        PressKey(p, Qt::Key_Return);
        QCOMPARE(Sent(p), QStringList());
        QCOMPARE(window.GetControlState(84), std::int64_t{0});
        QCOMPARE(window.GetControlState(focus), state);
        QCOMPARE(p.answerer.fileDialogTitles, std::vector<QString>());
        QCOMPARE(p.OpenerCalls(), QStringList());
    }

    void returnInAPreampFieldSendsItsGain_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("address");
        QTest::addColumn<float>("value");
        QTest::newRow("P05 at 50") << 164 << "50"
                                   << "/headamp/004/gain" << 0.5f;
        QTest::newRow("P05 at 150, not clamped") << 164 << "150"
                                                 << "/headamp/004/gain" << 1.5f;
        QTest::newRow("P01 emptied") << 156 << ""
                                     << "/headamp/000/gain" << 0.0f;
        QTest::newRow("P16 at 7") << 186 << "7"
                                  << "/headamp/015/gain" << 0.07f;
    }

    void returnInAPreampFieldSendsItsGain()
    {
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(QString, address);
        QFETCH(float, value);
        ProgramUnderTest p(36);
        TypeInto(p, field, typed);
        PressKey(p, Qt::Key_Return);
        QCOMPARE(Sent(p), QStringList{Msg(address.toStdString(), value)});
        QCOMPARE(p.program.window.GetControlText(field), typed); // left as typed
    }

    void muteBoxSwitchesItsChannel_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("address");
        QTest::newRow("main stereo") << 204 << "/main/st/mix/on";
        QTest::newRow("channel 1") << 188 << "/ch/01/mix/on";
        QTest::newRow("channel 16") << 203 << "/ch/16/mix/on";
    }

    void muteBoxSwitchesItsChannel()
    {
        QFETCH(int, box);
        QFETCH(QString, address);
        ProgramUnderTest p(37);
        p.Click(box);
        QCOMPARE(p.program.window.GetControlState(box), std::int64_t{1});
        QCOMPARE(Sent(p), QStringList{Msg(address.toStdString(), 0.0f)}); // checked switches off
        p.Click(box);
        QCOMPARE(p.program.window.GetControlState(box), std::int64_t{0});
        QCOMPARE(Sent(p), QStringList{Msg(address.toStdString(), 1.0f)});
    }

    void linkCopiesTheOddFaderAndLocksTheEven_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<int>("oddTrackbar");
        QTest::addColumn<QString>("linkAddress");
        QTest::addColumn<QString>("evenAddress");
        QTest::newRow("Link 01-02") << 72 << 84 << "/config/chlink/1-2"
                                    << "/ch/02/mix/fader";
        QTest::newRow("Link 09-10") << 76 << 92 << "/config/chlink/9-10"
                                    << "/ch/10/mix/fader";
        QTest::newRow("Link 15-16") << 79 << 98 << "/config/chlink/15-16"
                                    << "/ch/16/mix/fader";
    }

    void linkCopiesTheOddFaderAndLocksTheEven()
    {
        QFETCH(int, box);
        QFETCH(int, oddTrackbar);
        QFETCH(QString, linkAddress);
        QFETCH(QString, evenAddress);
        ProgramUnderTest p(38);
        HostWindow& window = p.program.window;
        const int evenTrackbar = oddTrackbar + 1;
        const int evenField = evenTrackbar + 33;
        const int evenLabel = evenTrackbar - 83;
        const int evenMute = evenTrackbar + 104;
        const int evenPreamp = 156 + 2 * (evenLabel - 1);
        const std::vector<int> locked{evenField, evenLabel, evenTrackbar};

        TypeInto(p, oddTrackbar + 33, QStringLiteral("40"));
        PressKey(p, Qt::Key_Return);
        QCOMPARE(window.GetControlState(oddTrackbar), std::int64_t{40});
        Sent(p); // the odd fader's own message

        p.Click(box);
        QCOMPARE(Sent(p), (QStringList{Msg(linkAddress.toStdString(), 1.0f), FaderMsg(evenAddress.toStdString(), 40)}));
        QCOMPARE(window.GetControlState(evenTrackbar), std::int64_t{40});
        QCOMPARE(window.GetControlText(evenField), QStringLiteral("40"));
        for (const int control : locked) {
            QVERIFY2(!p.Control(control)->isEnabled(), qPrintable(QString::number(control)));
        }
        for (const int control : {evenMute, evenPreamp, oddTrackbar, oddTrackbar + 33, box}) {
            QVERIFY2(p.Control(control)->isEnabled(), qPrintable(QString::number(control)));
        }

        // The odd fader moves on alone while linked; clearing copies it across once more.
        p.Control(oddTrackbar)->setFocus();
        PressKey(p, Qt::Key_Up);
        const std::int64_t moved = window.GetControlState(oddTrackbar);
        QVERIFY(moved != 40);
        Sent(p); // the odd fader's own message
        p.Click(box);
        QCOMPARE(Sent(p),
                 (QStringList{Msg(linkAddress.toStdString(), 0.0f), FaderMsg(evenAddress.toStdString(), moved)}));
        QCOMPARE(window.GetControlState(evenTrackbar), moved);
        QCOMPARE(window.GetControlText(evenField), QString::number(moved));
        for (const int control : locked) {
            QVERIFY2(p.Control(control)->isEnabled(), qPrintable(QString::number(control)));
        }
    }

    void faderBankBoxClearsItsRivalsAndSends_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QList<int>>("cleared");
        QTest::addColumn<QStringList>("whenChecked");
        QTest::addColumn<QStringList>("whenCleared");
        const auto ch = [](float value) { return Msg(kChannelBank.toStdString(), value); };
        const auto grp = [](float value) { return Msg(kGroupBank.toStdString(), value); };
        QTest::newRow("CH 1-8") << 67 << QList<int>{68, 69} << QStringList{ch(0.1f)} << QStringList{ch(0.0f)};
        QTest::newRow("CH 9-16 while CH 1-8 is checked")
            << 68 << QList<int>{67, 69} << QStringList{ch(0.2f)} << QStringList{ch(0.0f)};
        QTest::newRow("CHX 1-16") << 69 << QList<int>{67, 68, 70, 71} << QStringList{ch(0.01f), grp(0.6f)}
                                  << QStringList{ch(0.0f), grp(0.0f)};
        QTest::newRow("DCA 1-8") << 70 << QList<int>{69, 71} << QStringList{grp(0.1f)} << QStringList{grp(0.0f)};
        QTest::newRow("BUS 1-8") << 71 << QList<int>{69, 70} << QStringList{grp(0.2f)} << QStringList{grp(0.0f)};
    }

    void faderBankBoxClearsItsRivalsAndSends()
    {
        QFETCH(int, box);
        QFETCH(QList<int>, cleared);
        QFETCH(QStringList, whenChecked);
        QFETCH(QStringList, whenCleared);
        ProgramUnderTest p(39);
        HostWindow& window = p.program.window;
        QList<int> others;
        for (int other = 67; other <= 71; ++other) {
            if (other != box) {
                window.SetControlState(other, 1);
                others << other;
            }
        }
        const auto expectStates = [&](std::int64_t own) {
            QCOMPARE(window.GetControlState(box), own);
            for (const int other : others) {
                QCOMPARE(window.GetControlState(other), std::int64_t{cleared.contains(other) ? 0 : 1});
            }
        };

        p.Click(box);
        QCOMPARE(Sent(p), whenChecked); // nothing for the boxes it cleared
        expectStates(1);
        p.Click(box);
        QCOMPARE(Sent(p), whenCleared);
        expectStates(0);
    }

    void eachMessageIsFollowedByItsPause_data()
    {
        QTest::addColumn<int>("control");
        QTest::addColumn<int>("messages");
        QTest::newRow("M box, one message") << 204 << 1;
        QTest::newRow("link box, two messages") << 72 << 2;
        QTest::newRow("CHX 1-16, two messages") << 69 << 2;
    }

    void eachMessageIsFollowedByItsPause()
    {
        QFETCH(int, control);
        QFETCH(int, messages);
        ProgramUnderTest p(40);
        const Clock::time_point start = Clock::now();
        p.Click(control);
        const long long elapsed = MillisecondsSince(start);
        QCOMPARE(Sent(p).size(), qsizetype{messages});
        // A lower bound only: the pauses are the least a gesture costs.
        QVERIFY2(elapsed >= 50LL * messages, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
    }

    void openerStartsWithoutTheWindowWaiting_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("call"); // a pattern; <folder> is the program's folder
        QTest::newRow("Edit Config.ini opens the config.ini start-up read") << 150 << "^<folder>\\|config\\.ini$";
        QTest::newRow("Updates opens an https page") << 83 << "^[^|]*\\|https://[^\\s\"|]+$";
    }

    void openerStartsWithoutTheWindowWaiting()
    {
        QFETCH(int, button);
        QFETCH(QString, call);
        ProgramUnderTest p(41);
        // An opener that takes its time, as an editor or browser does.
        QFile opener(p.Folder() + QStringLiteral("/bin/xdg-open"));
        QVERIFY(opener.open(QIODevice::WriteOnly | QIODevice::Truncate));
        opener.write("#!/bin/sh\nsleep 2\nprintf '%s|%s\\n' \"$PWD\" \"$*\" >> \"$(dirname \"$0\")/../opener.log\"\n");
        opener.close();

        const Clock::time_point start = Clock::now();
        p.Click(button);
        const long long elapsed = MillisecondsSince(start);
        QVERIFY2(elapsed < 1500, qPrintable(QStringLiteral("the click took %1 ms").arg(elapsed)));
        // Still running, and the window answers the user meanwhile.
        QCOMPARE(p.OpenerCalls(), QStringList());
        p.Click(204);
        QCOMPARE(Sent(p), QStringList{Msg("/main/st/mix/on", 0.0f)});

        QTRY_VERIFY_WITH_TIMEOUT(!p.OpenerCalls().isEmpty(), 15000);
        const QStringList calls = p.OpenerCalls();
        QCOMPARE(calls.size(), qsizetype{1});
        const QString folder = QRegularExpression::escape(QDir(p.Folder()).canonicalPath());
        const QRegularExpression expected(call.replace(QStringLiteral("<folder>"), folder));
        QVERIFY2(expected.match(calls.first()).hasMatch(), qPrintable(calls.first()));
        QCOMPARE(p.answerer.messages, std::vector<SeenMessage>());
    }

    void failedSendsLeaveTheRestWorking_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<bool>("linkOpened");
        QTest::newRow("no link") << QByteArray("255\r\n255\r\n255\r\n255\r\n") << false;
        QTest::newRow("nobody listening at the address") << ConfigFor(43) << true;
    }

    void failedSendsLeaveTheRestWorking()
    {
        QFETCH(QByteArray, config);
        QFETCH(bool, linkOpened);
        ProgramUnderTest p(42, config);
        QVERIFY(p.started);
        // Guards the first row: 255.255.255.255 must never be sent to.
        QCOMPARE(p.program.mixer.link != nullptr, linkOpened);
        HostWindow& window = p.program.window;

        TypeInto(p, 117, QStringLiteral("40"));
        PressKey(p, Qt::Key_Return);
        QCOMPARE(window.GetControlState(84), std::int64_t{40});
        QCOMPARE(window.GetControlText(117), QStringLiteral("40"));

        p.Click(72);
        QCOMPARE(window.GetControlState(85), std::int64_t{40});
        QCOMPARE(window.GetControlText(118), QStringLiteral("40"));
        for (const int control : {118, 2, 85}) {
            QVERIFY(!p.Control(control)->isEnabled());
        }

        window.SetControlState(67, 1);
        p.Click(69);
        QCOMPARE(window.GetControlState(69), std::int64_t{1});
        QCOMPARE(window.GetControlState(67), std::int64_t{0});

        p.Click(204);
        QCOMPARE(window.GetControlState(204), std::int64_t{1});
        TypeInto(p, 164, QStringLiteral("50"));
        PressKey(p, Qt::Key_Return);
        QCOMPARE(window.GetControlText(164), QStringLiteral("50"));

        QCOMPARE(p.answerer.messages, std::vector<SeenMessage>());
        QCOMPARE(p.program.shell.quit, 0);
        QVERIFY(window.MainWindow()->isVisible());
        QCOMPARE(Sent(p), QStringList());
    }
};

QTEST_MAIN(LiveControlTest)
#include "LiveControlTest.moc"
