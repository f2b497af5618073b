// The meters of a following window, with Qt's accessibility bridge up: where they sit, the request
// a console of the test receives, and its levels (tests/data/meter-levels.tsv) in pixels and as a
// screen reader has them, until its frames stop.
#include "gui/GuiFixture.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Pixels of a meter lit green, yellow or red: unlike the window and the unlit trough, saturated.
int LitPixels(QAccessibleInterface* meter)
{
    const QImage shot = static_cast<QWidget*>(meter->object())->grab().toImage();
    int lit = 0;
    for (int pixel = 0; pixel < shot.width() * shot.height(); ++pixel) {
        lit += shot.pixelColor(pixel % shot.width(), pixel / shot.width()).hsvSaturation() > 128 ? 1 : 0;
    }
    return lit;
}

} // namespace

class MetersTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Run by scripts/with-accessibility.sh, so that the meters are read as over AT-SPI.
    void initTestCase() { QTRY_VERIFY(QAccessible::isActive()); }

    void metersBesideTheFadersShowTheConsolesLevels()
    {
        FakeConsole console(141);
        ProgramUnderTest p(140, ConfigFor(141), Shell{.follow = true});
        QWidget* window = p.program.window.MainWindow();
        std::map<QString, QAccessibleInterface*> meters; // what a screen reader finds as progress bars
        for (int i = 0; i < QAccessible::queryAccessibleInterface(window)->childCount(); ++i) {
            if (QAccessibleInterface* child = QAccessible::queryAccessibleInterface(window)->child(i);
                child->role() == QAccessible::ProgressBar) {
                meters[child->text(QAccessible::Name)] = child;
            }
        }
        QCOMPARE(meters.size(), std::size_t{25});
        // Right of its fader in the strip's column, from one pixel past the 20-pixel fader to 28
        // pixels right of its left edge, over the fader's height, covering no control.
        for (const auto& [name, meter] : meters) {
            const QString fader =
                name == u"LR meter"_s ? u"Main LR fader"_s : QString(name).replace(u"meter"_s, u"fader"_s);
            const QRect place = static_cast<QWidget*>(meter->object())->geometry();
            for (QWidget* control : window->findChildren<QWidget*>()) {
                const QRect rect(control->mapTo(window, QPoint()), control->size());
                if (control->accessibleName() == fader) {
                    QCOMPARE(place, QRect(rect.x() + 21, rect.y(), 7, rect.height()));
                }
                QVERIFY2(control->focusPolicy() == Qt::NoFocus || !rect.intersects(place),
                         qPrintable(name + u" covers "_s + control->accessibleName()));
            }
        }
        console.Push(ParseBytes(R"("/ch/05/config/name"~ ",s"~ "Kick"~)"));
        QTRY_COMPARE(meters.at(u"Channel 05 meter"_s)->text(QAccessible::Name), u"Channel 05 meter, Kick"_s);
        QCOMPARE(std::ranges::count(console.Received(), "/meters ,siii"), 1); // after the read

        const std::vector<Words> table = ReadTable("meter-levels.tsv");
        std::string frame = R"("/meters/5"~ ",b"~ 00000070 1B000000)";
        for (const Words& row : table) {
            frame += ' ' + row[2];
        }
        const auto misread = [&](bool silent) { // the meters reading more than 2 dB off, or saying otherwise
            QString wrong;
            for (const Words& row : table) {
                const auto meter = meters.find(QString::fromStdString(row[3]));
                if (row[3] != "-" && meter == meters.end()) {
                    wrong += u"no "_s + QString::fromStdString(row[3]);
                }
                const int value = meter == meters.end() ? 0 : meter->second->valueInterface()->currentValue().toInt();
                if (meter != meters.end() &&
                    (std::abs(value - (silent ? -60 : std::stoi(row[4]))) > 2 ||
                     meter->second->text(QAccessible::Description).toStdString() != (silent ? "" : row[5]))) {
                    wrong += meter->first + u" reads "_s + QString::number(value);
                }
            }
            return wrong;
        };
        QTimer frames; // a frame every 50 ms
        QObject::connect(&frames, &QTimer::timeout, [&] { console.Push(ParseBytes(frame)); });
        frames.start(50);
        QTRY_COMPARE(misread(false), QString());
        QVERIFY(LitPixels(meters.at(u"Channel 01 meter"_s)) > LitPixels(meters.at(u"Channel 08 meter"_s)) &&
                LitPixels(meters.at(u"Channel 08 meter"_s)) > LitPixels(meters.at(u"Channel 15 meter"_s)) &&
                LitPixels(meters.at(u"Channel 15 meter"_s)) > 0);

        frames.stop(); // the console falls silent: every meter goes dark and reads -60
        for (const auto& [name, meter] : meters) {
            QTRY_COMPARE_WITH_TIMEOUT(LitPixels(meter), 0, 10000);
        }
        QCOMPARE(misread(true), QString());
    }
};

QTEST_MAIN(MetersTest)
#include "MetersTest.moc"
