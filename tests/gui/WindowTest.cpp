// The window as the user first sees it, config.ini, the event model, and the ways to end.
#include "gui/GuiFixture.h"

#include "host/Window.h"

#include <QApplication>
#include <QCheckBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <QTimer>

namespace {

const QString kCredits =
    QStringLiteral(" -  Code: Pellucor - Beta Test: Varnhold - Optimized for a minimalist Mini PC and old PCs");

// Every control in creation order, which is the Tab order.
std::vector<int> CreationOrder()
{
    std::vector<int> order{888};
    for (int input = 0; input < 16; ++input) {
        order.insert(order.end(), {156 + 2 * input, 157 + 2 * input});
    }
    for (int strip = 0; strip < 17; ++strip) {
        order.insert(order.end(), {84 + strip, 117 + strip, 1 + strip, 188 + strip});
    }
    for (int strip = 0; strip < 16; ++strip) {
        order.insert(order.end(), {101 + strip, 134 + strip, 35 + strip});
    }
    for (int box = 67; box <= 79; ++box) {
        order.push_back(box);
    }
    order.insert(order.end(), {80, 81, 150, 82, 83});
    return order;
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsTitleSizeAndStatus()
    {
        ProgramUnderTest p(20);
        QWidget* window = p.program.window.MainWindow();
        const QString bits = sizeof(void*) == 8 ? QStringLiteral("64") : QStringLiteral("32");
        QCOMPARE(
            window->windowTitle(),
            QStringLiteral("Quillon Beta for Behringer X32 Compact Digital Mixer - %1 bit - 640x600 Pixel").arg(bits));
        QCOMPARE(window->size(), QSize(640, 600));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        // A QIcon of a missing file is not null: the sizes show that the picture was read.
        QCOMPARE(window->windowIcon().availableSizes(), QList<QSize>{QSize(64, 64)});
        QCOMPARE(p.program.window.StatusText(), QStringLiteral("IP: 127.0.0.20") + kCredits);
    }

    void placesControls_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::newRow("first preamp field") << 156 << QRect(15, 25, 26, 20) << "0";
        QTest::newRow("label P10 not shifted") << 175 << QRect(285, 7, 20, 15) << "P10";
        QTest::newRow("label P16 shifted again") << 187 << QRect(468, 7, 20, 15) << "P16";
        QTest::newRow("channel 1 trackbar") << 84 << QRect(15, 65, 20, 200) << "";
        QTest::newRow("channel 1 value field") << 117 << QRect(15, 267, 26, 20) << "0";
        QTest::newRow("label 10 on the grid") << 10 << QRect(285, 50, 20, 15) << "10";
        QTest::newRow("label 15 on the grid") << 15 << QRect(435, 50, 20, 15) << "15";
        QTest::newRow("M of channel 13 on the grid") << 200 << QRect(375, 295, 25, 20) << "M";
        QTest::newRow("LR trackbar off the grid") << 100 << QRect(500, 65, 20, 200) << "";
        QTest::newRow("LR value field") << 133 << QRect(500, 267, 26, 20) << "0";
        QTest::newRow("LR label") << 17 << QRect(502, 50, 20, 15) << "LR";
        QTest::newRow("LR M") << 204 << QRect(502, 295, 25, 20) << "M";
        QTest::newRow("DCA 1 value field a pixel higher") << 134 << QRect(15, 546, 26, 20) << "0";
        QTest::newRow("DCA 2 value field") << 135 << QRect(45, 547, 26, 20) << "0";
        QTest::newRow("DCA 8 trackbar") << 108 << QRect(225, 344, 20, 200) << "";
        QTest::newRow("bus 1 after the gap") << 109 << QRect(285, 344, 20, 200) << "";
        QTest::newRow("bus 8 label") << 50 << QRect(495, 327, 20, 15) << "B8";
        QTest::newRow("CH 1-8") << 67 << QRect(547, 34, 85, 25) << "CH 1-8";
        QTest::newRow("Link 15-16") << 79 << QRect(547, 274, 75, 25) << "Link 15-16";
        QTest::newRow("Load Scene") << 80 << QRect(541, 340, 80, 20) << "Load Scene";
        QTest::newRow("Edit Config.ini third") << 150 << QRect(541, 400, 80, 20) << "Edit Config.ini";
        QTest::newRow("Updates last") << 83 << QRect(541, 460, 80, 20) << "Updates";
        QTest::newRow("hidden address field") << 888 << QRect(5000, 5000, 94, 22) << "127.0.0.20";
    }

    void placesControls()
    {
        QFETCH(int, number);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        ProgramUnderTest p(20);
        QWidget* control = p.Control(number);
        QVERIFY(control);
        QCOMPARE(control->geometry(), geometry);
        QVERIFY(control->isEnabled());
        QCOMPARE(p.program.window.GetControlText(number), text);
    }

    void startsAtZeroWithGreyLabels()
    {
        ProgramUnderTest p(20);
        for (int trackbar = 84; trackbar <= 116; ++trackbar) {
            auto* slider = qobject_cast<QSlider*>(p.Control(trackbar));
            QVERIFY(slider);
            QCOMPARE(slider->orientation(), Qt::Vertical);
            QCOMPARE(slider->minimum(), 0);
            QCOMPARE(slider->maximum(), 100);
            QCOMPARE(slider->value(), 0);
        }
        for (const int box : {67, 72, 79, 188, 204}) {
            QVERIFY(qobject_cast<QCheckBox*>(p.Control(box)));
            QCOMPARE(p.program.window.GetControlState(box), 0);
        }
        for (const int label : {1, 17, 35, 50, 157, 187}) {
            const QColor background = p.Control(label)->palette().color(QPalette::Base);
            QCOMPARE(background, QColor(240, 240, 240));
        }
        // Nothing exists between the ranges.
        for (const int unused : {18, 34, 51, 66, 151, 155}) {
            QVERIFY(!p.Control(unused));
        }
    }

    void valueFieldsTakeOnlyDigitsFromTheKeyboard()
    {
        ProgramUnderTest p(20);
        auto* field = qobject_cast<QLineEdit*>(p.Control(117));
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("7a-5."));
        QCOMPARE(field->text(), QStringLiteral("75"));
        p.program.window.SetControlText(117, QStringLiteral("x9")); // the program may set anything
        QCOMPARE(p.program.window.GetControlText(117), QStringLiteral("x9"));
    }

    void tooltipsGiveTheConsoleUnits()
    {
        ProgramUnderTest p(28);
        HostWindow& window = p.program.window;
        QCOMPARE(p.Control(84)->toolTip(), QStringLiteral("Console level: -inf dB"));
        window.SetControlState(84, 75);
        QCOMPARE(p.Control(84)->toolTip(), QStringLiteral("Console level: 0.0 dB"));
        QCOMPARE(p.Control(117)->toolTip(), QStringLiteral("Console level: 0.0 dB"));
        p.Control(116)->setFocus();
        QTest::keyClick(p.Control(116), Qt::Key_End);
        QCOMPARE(p.Control(149)->toolTip(), QStringLiteral("Console level: +10.0 dB"));
        QCOMPARE(p.Control(156)->toolTip(), QStringLiteral("Console gain: -12.0 dB"));
        window.SetControlText(156, QStringLiteral("150"));
        QCOMPARE(p.Control(156)->toolTip(), QStringLiteral("Console gain: +96.0 dB, above the console's +60 dB"));
        // Looking at a tooltip is not operating a control.
        p.Pump();
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), p.Control(84)->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(p.Control(84), &help);
        QCOMPARE(window.PollEvent(), 0);
        QCOMPARE(p.Control(117)->property("text").toString(), QStringLiteral("0"));
    }

    void tabOrderFollowsCreation()
    {
        ProgramUnderTest p(20);
        std::vector<int> chain;
        QWidget* start = p.Control(888);
        for (QWidget* widget = start;;) {
            const int number = [&] {
                for (int candidate : CreationOrder()) {
                    if (p.Control(candidate) == widget) {
                        return candidate;
                    }
                }
                return -1;
            }();
            if (number >= 0) {
                chain.push_back(number);
            }
            widget = widget->nextInFocusChain();
            if (widget == start) {
                break;
            }
        }
        QCOMPARE(chain, CreationOrder());
    }

    void startsWithTheFocusOnNoControl()
    {
        ProgramUnderTest p(29);
        p.Pump();
        HostWindow& window = p.program.window;
        QCOMPARE(window.FocusedControl(), -1);
        // Tab then walks the controls from the first, the hidden address field.
        QTest::keyClick(window.MainWindow(), Qt::Key_Tab);
        QCOMPARE(window.FocusedControl(), 888);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(window.FocusedControl(), 156);
    }

    void sendsNothingAtStartUp()
    {
        ProgramUnderTest p(21);
        p.Pump();
        QTest::qWait(100);
        QCOMPARE(p.console.TakeAll().size(), std::size_t{0});
    }

    void configurationGivesTheAddress_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("address");
        // These addresses are only parsed: the test operates no control, so nothing is ever sent,
        // and the suite runs where anything but loopback is unreachable.
        QTest::newRow("four octets") << QByteArray("192\r\n168\r\n1\r\n20\r\n") << "192.168.1.20";
        QTest::newRow("LF and lone CR line ends") << QByteArray("10\n0\r0\n7") << "10.0.0.7";
        QTest::newRow("blanks before, remarks after")
            << QByteArray(" \t192 main desk\r\n168\r\n1\r\n20\r\n") << "192.168.1.20";
        QTest::newRow("hexadecimal and base 2") << QByteArray("$C0\r\n%10101000\r\n$1\r\n20\r\n") << "192.168.1.20";
        QTest::newRow("only two lines") << QByteArray("192\r\n168\r\n") << "192.168.0.0";
        QTest::newRow("whole address on line 1") << QByteArray("192.168.1.20\r\n") << "192.0.0.0";
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF"
                                                       "192\r\n168\r\n1\r\n20\r\n")
                                         << "0.168.1.20";
        QTest::newRow("extra lines ignored") << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n") << "1.2.3.4";
        QTest::newRow("256 carries") << QByteArray("256\r\n0\r\n0\r\n0\r\n") << "0.1.0.0";
        QTest::newRow("-1 borrows") << QByteArray("-1\r\n0\r\n0\r\n0\r\n") << "255.255.255.255";
        QTest::newRow("empty file") << QByteArray("") << "0.0.0.0";
        QTest::newRow("text") << QByteArray("mixer\r\nfoh\r\n") << "0.0.0.0";
        QTest::newRow("huge numbers wrap")
            << QByteArray("99999999999999999999999\r\n0\r\n0\r\n0\r\n") << "255.255.127.246";
        // A NUL ends line 1; stray bytes read as "?"; the lead byte C3 swallows the CR after it.
        QTest::newRow("binary junk") << QByteArray("\x00\xFF\xFE\x80\x01\r\n\xC3\r\n7\r\n", 11) << "0.0.0.7";
        QTest::newRow("a line of several megabytes")
            << (QByteArray(4 << 20, '9') + "\r\n1\r\n2\r\n3\r\n") << "255.0.2.3";
    }

    void configurationGivesTheAddress()
    {
        QFETCH(QByteArray, config);
        QFETCH(QString, address);
        ProgramUnderTest p(22, config);
        QVERIFY(p.started);
        QVERIFY(p.console.TakeAll().empty());
        QCOMPARE(p.program.window.StatusText(), QStringLiteral("IP: ") + address + kCredits);
        QCOMPARE(p.program.shell.mixerAddress, address);
    }

    void missingConfigTellsAndEnds()
    {
        ProgramUnderTest p(23, QByteArray());
        QVERIFY(!p.started);
        QCOMPARE(p.answerer.messages, (std::vector<SeenMessage>{{QStringLiteral("No config.ini"),
                                                                 QStringLiteral("Please create the config.ini.")}}));
        QVERIFY(p.program.window.MainWindow()->isVisible()); // the message came over the open window
        QVERIFY(!p.Control(84));
        QCOMPARE(p.program.shell.quit, 1);
        QCOMPARE(p.console.TakeAll().size(), std::size_t{0});
    }

    void missingConfigExitStatusIsZero()
    {
        QTemporaryDir folder;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        ModalAnswerer answerer;
        QCOMPARE(RunQuillon(), 0);
        QDir::setCurrent(previous);
        QCOMPARE(answerer.messages.size(), std::size_t{1});
    }

    void identicalEventsQueueOnceButRunTheHandlerEachTime()
    {
        ProgramUnderTest p(24);
        QWidget* trackbar = p.Control(84);
        trackbar->setFocus();
        QTest::keyClick(trackbar, Qt::Key_Up);
        QTest::keyClick(trackbar, Qt::Key_Up);
        QCOMPARE(DecodeFloatMessages(p.console.TakeAll()),
                 (std::vector<FloatMessage>{{"/ch/01/mix/fader", 0.01f}, {"/ch/01/mix/fader", 0.02f}}));
        HostWindow& window = p.program.window;
        QCOMPARE(window.PollEvent(), kControlEvent);
        QCOMPARE(window.EventControl(), 84);
        QCOMPARE(window.PollEvent(), 0);
    }

    void programChangesRaiseNothing()
    {
        ProgramUnderTest p(24);
        HostWindow& window = p.program.window;
        p.Pump();
        window.SetControlState(84, 50);
        window.SetControlState(188, 1);
        window.SetControlText(117, QStringLiteral("50"));
        window.SetControlText(156, QStringLiteral("12"));
        QCOMPARE(window.PollEvent(), 0);
        QCOMPARE(p.console.TakeAll().size(), std::size_t{0});
        QCOMPARE(window.GetControlState(84), 50);
        window.SetControlState(84, 150);
        QCOMPARE(window.GetControlState(84), 100);
        window.SetControlState(84, -5);
        QCOMPARE(window.GetControlState(84), 0);
        // Numbers never created read as nothing.
        QCOMPARE(window.GetControlState(999), 0);
        QCOMPARE(window.GetControlText(999), QString());
    }

    void closeRequestDroppedByADrainKeepsTheWindowOpen()
    {
        ProgramUnderTest p(25);
        QWidget* window = p.program.window.MainWindow();
        QTest::mouseClick(p.Control(83), Qt::LeftButton); // Updates drains when it is done
        QTimer::singleShot(0, window, [window] { window->close(); });
        p.Pump();
        QCOMPARE(p.program.shell.quit, 0);
        QVERIFY(window->isVisible());
        window->close();
        p.Pump();
        QCOMPARE(p.program.shell.quit, 1);
        QVERIFY(window->isVisible()); // it goes with the program, not with the request
    }

    void closeBoxEndsTheMainLoop()
    {
        ProgramUnderTest p(26);
        QWidget* window = p.program.window.MainWindow();
        QTimer::singleShot(20, window, [window] { window->close(); });
        RunMainLoop(p.program);
        QCOMPARE(p.program.shell.quit, 1);
        QCOMPARE(p.console.TakeAll().size(), std::size_t{0});
    }

    void closeWithoutALinkEndsCleanly()
    {
        ProgramUnderTest p(27, QByteArray("255\r\n255\r\n255\r\n255\r\n"));
        QVERIFY(p.program.mixer.link == nullptr);
        p.Click(204); // a send without a link does nothing and disturbs nothing
        QCOMPARE(p.program.window.GetControlState(204), 1);
        p.program.window.MainWindow()->close();
        p.Pump();
        QCOMPARE(p.program.shell.quit, 1);
    }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
