// What only the window shows: every control where the layout table (tests/data/layout.tsv) puts it,
// of its kind, with its caption and spoken name, captions that fit, faders on the screen as they
// draw themselves, the Tab order, the title and status, start-up without config.ini, the main
// loop, and the event queue.
#include "gui/GuiFixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QLineEdit>
#include <QPixmapCache>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include <set>

namespace {

struct LayoutRow {
    int number;
    QString kind;
    QRect rect;
    QString text, name;
};

std::vector<LayoutRow> Layout()
{
    std::vector<LayoutRow> rows;
    for (const Words& r : ReadTable("layout.tsv")) {
        rows.push_back({std::stoi(r[0]), QString::fromStdString(r[1]),
                        QRect(std::stoi(r[2]), std::stoi(r[3]), std::stoi(r[4]), std::stoi(r[5])),
                        QString::fromStdString(r[6]), QString::fromStdString(r[7])});
    }
    return rows;
}

// The widget's kind as the layout table names it, and the text it shows.
std::pair<QString, QString> KindAndText(QWidget* widget)
{
    if (const auto* field = qobject_cast<QLineEdit*>(widget)) {
        const bool grey = field->palette().color(QPalette::Base) == QColor(240, 240, 240);
        return {field->x() >= 640                         ? u"address"_qs
                : field->validator() && field->hasFrame() ? u"field"_qs
                : !field->hasFrame() && grey              ? u"caption"_qs
                                                          : u"?"_qs,
                field->text()};
    }
    if (const auto* slider = qobject_cast<QSlider*>(widget)) {
        const bool range = slider->orientation() == Qt::Vertical && slider->minimum() == 0 && slider->maximum() == 100;
        return {range && slider->value() == 0 ? u"fader"_qs : u"?"_qs, QString()};
    }
    const auto* button = qobject_cast<QAbstractButton*>(widget);
    const bool box = qobject_cast<QCheckBox*>(widget);
    return {box ? (button->isChecked() ? u"?"_qs : u"checkbox"_qs) : u"button"_qs, button->text()};
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void controlsStandWhereTheLayoutPutsThem()
    {
        ProgramUnderTest p(21);
        QWidget* window = p.program.window.MainWindow();
        QCOMPARE(window->windowTitle(),
                 QStringLiteral("Quillon Beta for Behringer X32 Compact Digital Mixer - %1 bit - 640x600 Pixel")
                     .arg(sizeof(void*) * 8));
        QCOMPARE(window->size(), QSize(640, 600));
        // A QIcon of a missing file is not null: the sizes show that the picture was read.
        QCOMPARE(window->windowIcon().availableSizes(), QList<QSize>{QSize(64, 64)});
        const QRect client(0, 0, 640, window->findChild<QStatusBar*>()->geometry().top());
        const std::vector<LayoutRow> layout = Layout();
        std::set<QString> names; // every control told apart by what a screen reader says
        for (const LayoutRow& row : layout) {
            QWidget* widget = p.Control(row.number);
            const QByteArray what = QByteArray::number(row.number);
            QVERIFY2(widget, what);
            // The hidden address field shows the address of config.ini.
            const QString text = row.kind == u"address" ? u"127.0.0.21"_qs : row.text;
            QCOMPARE(std::pair(widget->geometry(), KindAndText(widget)),
                     std::pair(row.rect, std::pair(row.kind, text)));
            QCOMPARE(QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name), row.name);
            names.insert(row.name);
            QVERIFY2(row.kind == u"address" || client.contains(row.rect), what);
            // A button's caption keeps 7 pixels from either edge (CTest runs this at scale 2 too).
            QVERIFY2(row.kind != u"button" ||
                         QFontMetrics(widget->font()).horizontalAdvance(row.text) + 2 * 7 <= row.rect.width(),
                     what);
            // Only the column's check boxes overlap, each the one below it by 5 pixels.
            for (const LayoutRow& other : layout) {
                const bool column =
                    row.rect.x() == 547 && other.rect.x() == 547 && std::abs(row.rect.y() - other.rect.y()) == 20;
                QVERIFY2(&other == &row || column || !row.rect.intersects(other.rect), what);
            }
        }
        QCOMPARE(names.size(), layout.size());
        QCOMPARE(p.program.window.StatusText(),
                 QStringLiteral("IP: 127.0.0.21 -  Code: Pellucor - Beta Test: Varnhold - Optimized for a minimalist "
                                "Mini PC and old PCs"));
        p.Pump();
        QVERIFY(p.console.TakeAll().empty()); // nothing is sent at start-up
    }

    // Each fader shows on the screen as it draws itself any time after, the first one painted too:
    // the cached pictures are cleared, so that this start-up makes them.
    void fadersShowOnTheScreenAsTheyDrawThemselves()
    {
        QPixmapCache::clear();
        ProgramUnderTest p(160);
        p.Pump();
        const QWidget* window = p.program.window.MainWindow();
        const QImage screen = window->screen()->grabWindow(window->winId()).toImage();
        // ... and as Fusion itself draws a fader 0 to 100 with a tick at each step, wherever it is
        // set and whether it can be used or not.
        const std::unique_ptr<QStyle> fusion(QStyleFactory::create(u"Fusion"_qs));
        const auto fusionDrawn = [&fusion](const QSlider* fader) {
            QSlider drawn(Qt::Vertical);
            drawn.setStyle(fusion.get());
            drawn.setRange(0, 100);
            drawn.setTickPosition(QSlider::TicksRight);
            drawn.setTickInterval(1);
            drawn.resize(fader->size());
            drawn.setValue(fader->value());
            drawn.setEnabled(fader->isEnabled());
            drawn.grab(); // Fusion's first picture of a groove leaves its ticks blue
            return drawn.grab().toImage().convertToFormat(QImage::Format_RGB32);
        };
        for (QSlider* fader : window->findChildren<QSlider*>()) {
            QCOMPARE(screen.copy(fader->geometry()), fader->grab().toImage().convertToFormat(screen.format()));
            QCOMPARE(fader->grab().toImage().convertToFormat(QImage::Format_RGB32), fusionDrawn(fader));
        }
        auto* fader = static_cast<QSlider*>(p.Control(85));
        for (const auto& [value, enabled] : {std::pair(37, true), std::pair(100, false)}) {
            p.program.window.SetControlState(85, value);
            p.program.window.DisableControl(85, !enabled);
            QCOMPARE(fader->grab().toImage().convertToFormat(QImage::Format_RGB32), fusionDrawn(fader));
        }
    }

    void tabFollowsTheLayoutFromTheHiddenAddressField()
    {
        ProgramUnderTest p(22);
        std::vector<int> expected, order;
        std::map<QWidget*, int> numbers;
        for (const LayoutRow& row : Layout()) {
            numbers[p.Control(row.number)] = row.number;
            expected.push_back(row.number);
        }
        QWidget* w = p.Control(expected.front());
        do {
            if (const auto found = numbers.find(w); found != numbers.end())
                order.push_back(found->second);
        } while ((w = w->nextInFocusChain()) != p.Control(expected.front()));
        QCOMPARE(order, expected);
        QCOMPARE(p.program.window.FocusedControl(), -1); // the window itself holds the focus at first
    }

    // The program as main runs it: its loop ends on a close request, and the window and the link
    // go with it. A request that comes while start-up lets pending input go is dropped, so the user
    // asks again.
    void runsUntilTheWindowIsClosed()
    {
        ProgramUnderTest folder(26); // config.ini in the current directory
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                window->close();
            }
        });
        user.start(100);
        const auto before = std::pair(QApplication::topLevelWidgets().size(), SocketCount());
        RunQuillon(Shell{});
        QCOMPARE(std::pair(QApplication::topLevelWidgets().size(), SocketCount()), before);
    }

    // --find with a start option, where no network can broadcast: a box says what was tried, then
    // the window starts with config.ini as it is.
    void findingNoConsoleTellsAndStartsAsUsual()
    {
        if (!OnlyLoopbackReachable())
            QSKIP("--find would ask the networks here; it runs in a loopback-only network namespace");
        ProgramUnderTest p(121, ConfigFor(121), Shell{.find = true, .write = true});
        QCOMPARE(p.answerer.messages,
                 (std::vector<SeenMessage>{
                     {u"Quillon"_qs, u"No console answered /xinfo on port 10023; asked 3 times at 255.255.255.255 "
                                     u"(Network is unreachable).\n\nconfig.ini was not changed. Pick the console with "
                                     u"Edit Config.ini or quillon --find."_qs}}));
        QVERIFY(p.started && p.program.shell.consoleAddress == u"127.0.0.121"_qs);
    }

    void missingConfigTellsAndEnds()
    {
        ProgramUnderTest p(24, QByteArray());
        QVERIFY(!p.started);
        QCOMPARE(p.answerer.messages, (std::vector<SeenMessage>{{QStringLiteral("No config.ini"),
                                                                 QStringLiteral("Please create the config.ini.")}}));
        QVERIFY(!p.answerer.boxWithoutWindow);
        QVERIFY(!p.Control(84));
    }

    // The queue keeps one of two identical reports, but the fader's handler runs for each;
    // what the program itself sets raises nothing.
    void queueKeepsOneOfIdenticalReportsAndNoneOfTheProgramsOwn()
    {
        ProgramUnderTest p(25);
        HostWindow& window = p.program.window;
        p.Control(84)->setFocus();
        QTest::keyClick(p.Control(84), Qt::Key_Up);
        QTest::keyClick(p.Control(84), Qt::Key_Up);
        QCOMPARE(SentText(p.console.TakeAll()), u"/ch/01/mix/fader 0.01; /ch/01/mix/fader 0.02"_qs);
        QVERIFY(window.PollEvent() == EventKind::Control);
        QCOMPARE(window.EventControl(), 84);
        QVERIFY(window.PollEvent() == EventKind::None);
        p.Control(117)->setFocus(); // two different reports of one field: both queue
        QTest::keyClick(p.Control(117), Qt::Key_5);
        for (int report = 0; report < 2; ++report) {
            QVERIFY(window.PollEvent() == EventKind::Control && window.EventControl() == 117);
        }
        QVERIFY(window.PollEvent() == EventKind::None);
        window.SetControlState(84, 50);
        window.SetControlText(117, QStringLiteral("7"));
        window.SetControlState(188, 1);
        QVERIFY(window.PollEvent() == EventKind::None);
        QVERIFY(p.console.TakeAll().empty());
        window.MainWindow()->close(); // a close request ends the loop; the window stays until then
        p.Pump();
        QVERIFY(p.program.shell.quit && window.MainWindow()->isVisible());
    }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
