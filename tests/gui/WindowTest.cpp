// What only the window shows: every control where the control map puts it, captions that fit,
// the Tab order, the title and status, start-up without config.ini, and the event queue.
#include "gui/GuiFixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLineEdit>
#include <QSlider>
#include <QStatusBar>
#include <QTest>

#include <map>
#include <set>

class WindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void controlsStandWhereTheMapPutsThem()
    {
        ProgramUnderTest p(21);
        QWidget* window = p.program.window.MainWindow();
        QCOMPARE(window->windowTitle(),
                 QStringLiteral("Quillon Beta for Behringer X32 Compact Digital Mixer - %1 bit - 640x600 Pixel")
                     .arg(sizeof(void*) * 8));
        QCOMPARE(window->size(), QSize(640, 600));
        // A QIcon of a missing file is not null: the sizes show that the picture was read.
        QCOMPARE(window->windowIcon().availableSizes(), QList<QSize>{QSize(64, 64)});
        const int statusTop = window->findChild<QStatusBar*>()->geometry().top();
        const QRect client(0, 0, 640, statusTop);
        std::set<QString> consoleNames;
        for (const Control& c : kControls) {
            QWidget* widget = p.Control(c.number);
            const QString name = QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), c.text);
            if (c.slot >= 0) {
                consoleNames.insert(name);
            }
            if (c.kind == ControlKind::AddressField) {
                continue;
            }
            const QRect rect(c.rect.x, c.rect.y, c.rect.width, c.rect.height);
            QVERIFY2(widget && widget->geometry() == rect && client.contains(rect), c.text);
            const auto* field = qobject_cast<QLineEdit*>(widget);
            const auto* button = qobject_cast<QAbstractButton*>(widget);
            QCOMPARE(field ? field->text() : button ? button->text() : QString(), QString::fromLatin1(c.text));
            // A button's caption keeps 7 pixels from either edge (CTest runs this at scale 2 too).
            QVERIFY2(!button || c.kind == ControlKind::CheckBox ||
                         QFontMetrics(button->font()).horizontalAdvance(c.text) + 2 * 7 <= c.rect.width,
                     c.text);
            // Only the column's check boxes overlap, each the one below it by 5 pixels.
            for (const Control& other : kControls) {
                const QRect otherRect(other.rect.x, other.rect.y, other.rect.width, other.rect.height);
                const bool column = c.kind == ControlKind::CheckBox && other.kind == ControlKind::CheckBox &&
                                    c.rect.x == other.rect.x && std::abs(c.rect.y - other.rect.y) == 20;
                QVERIFY2(&other == &c || column || !rect.intersects(otherRect), c.text);
            }
        }
        QCOMPARE(consoleNames.size(), std::size_t{79}); // the controls that drive the console, told apart
        for (const Words& row : ReadTable("spoken-names.tsv")) {
            const QString name =
                QAccessible::queryAccessibleInterface(p.Control(std::stoi(row[0])))->text(QAccessible::Name);
            QCOMPARE(name.toStdString(), row[1]);
        }
        QCOMPARE(p.program.window.StatusText(),
                 QStringLiteral("IP: 127.0.0.21 -  Code: Pellucor - Beta Test: Varnhold - Optimized for a minimalist "
                                "Mini PC and old PCs"));
        p.Pump();
        QVERIFY(p.console.TakeAll().empty()); // nothing is sent at start-up
    }

    void tabFollowsTheMapFromTheHiddenAddressField()
    {
        ProgramUnderTest p(22);
        std::map<QWidget*, int> numbers;
        std::vector<int> expected, order;
        for (const Control& c : kControls) {
            numbers[p.Control(c.number)] = c.number;
            expected.push_back(c.number);
        }
        QWidget* w = p.Control(expected.front());
        do {
            if (const auto found = numbers.find(w); found != numbers.end())
                order.push_back(found->second);
        } while ((w = w->nextInFocusChain()) != p.Control(expected.front()));
        QCOMPARE(order, expected);
        QCOMPARE(p.program.window.FocusedControl(), -1); // the window itself holds the focus at first
    }

    void missingConfigTellsAndEnds()
    {
        ProgramUnderTest p(24, QByteArray());
        QVERIFY(!p.started);
        QCOMPARE(p.answerer.messages, (std::vector<SeenMessage>{{QStringLiteral("No config.ini"),
                                                                 QStringLiteral("Please create the config.ini.")}}));
        QVERIFY(!p.Control(FirstWith(ControlRole::Fader).number));
    }

    // The queue keeps one of two identical reports, but the fader's handler runs for each;
    // what the program itself sets raises nothing.
    void queueKeepsOneOfIdenticalReportsAndNoneOfTheProgramsOwn()
    {
        ProgramUnderTest p(25);
        const Control& fader = FirstWith(ControlRole::Fader);
        HostWindow& window = p.program.window;
        p.Control(fader.number)->setFocus();
        QTest::keyClick(p.Control(fader.number), Qt::Key_Up);
        QTest::keyClick(p.Control(fader.number), Qt::Key_Up);
        QCOMPARE(DecodeFloatMessages(p.console.TakeAll()),
                 (std::vector<FloatMessage>{{"/ch/01/mix/fader", 0.01f}, {"/ch/01/mix/fader", 0.02f}}));
        QVERIFY(window.PollEvent() == EventKind::Control);
        QCOMPARE(window.EventControl(), fader.number);
        QVERIFY(window.PollEvent() == EventKind::None);
        p.Control(fader.valueField)->setFocus(); // two different reports of one field: both queue
        QTest::keyClick(p.Control(fader.valueField), Qt::Key_5);
        for (int report = 0; report < 2; ++report) {
            QVERIFY(window.PollEvent() == EventKind::Control && window.EventControl() == fader.valueField);
        }
        QVERIFY(window.PollEvent() == EventKind::None);
        window.SetControlState(fader.number, 50);
        window.SetControlText(fader.valueField, QStringLiteral("7"));
        window.SetControlState(FirstWith(ControlRole::Mute).number, 1);
        QVERIFY(window.PollEvent() == EventKind::None);
        QVERIFY(p.console.TakeAll().empty());
        window.MainWindow()->close(); // a close request ends the loop; the window stays until then
        p.Pump();
        QVERIFY(p.program.shell.quit && window.MainWindow()->isVisible());
    }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
