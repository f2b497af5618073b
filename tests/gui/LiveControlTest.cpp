// The live controls as the user works them, one table of gestures (tests/data/gestures.tsv) with
// what the console receives and what the window shows; the opener commands; a console that
// cannot be reached.
#include "gui/GuiFixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Where the thumb is drawn, so a press lands on it rather than in the channel.
QPoint ThumbCentre(QSlider* slider)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = Qt::Vertical;
    option.maximum = slider->maximum();
    option.sliderPosition = option.sliderValue = slider->value();
    option.upsideDown = true;
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider).center();
}

void Step(ProgramUnderTest& p, const QStringList& words)
{
    const QString& what = words[0];
    QWidget* control = words.size() > 1 ? p.Control(words[1].toInt()) : QApplication::focusWidget();
    if (what == u"drag") {
        auto* slider = qobject_cast<QSlider*>(control);
        const QPoint thumb = ThumbCentre(slider);
        QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
        QTest::mouseMove(slider, thumb - QPoint(0, 300));
        QTest::mouseRelease(slider, Qt::LeftButton, {}, thumb - QPoint(0, 300));
    } else if (what == u"key") {
        control->setFocus();
        QTest::keyClick(control, QKeySequence::fromString(words[2])[0].key());
    } else if (what == u"type") {
        p.TypeInto(words[1].toInt(), words[2]);
    } else if (what == u"return" || what == u"enter") {
        QTest::keyClick(control ? control : p.program.window.MainWindow(),
                        what == u"return" ? Qt::Key_Return : Qt::Key_Enter);
    } else if (what == u"focus") {
        control->setFocus();
    } else if (what == u"click") {
        p.Click(words[1].toInt());
    }
    p.Pump();
}

QString Shown(ProgramUnderTest& p, const QString& expectation)
{
    const qsizetype at = expectation.indexOf(QRegularExpression(QStringLiteral("[=:]")));
    const int number = expectation.left(at).toInt();
    const QString value = expectation.mid(at + 1);
    HostWindow& window = p.program.window;
    QString shown = value.startsWith(u'"')    ? u'"' + window.GetControlText(number) + u'"'
                    : expectation[at] == u':' ? (p.Control(number)->isEnabled() ? u"on"_s : u"off"_s)
                                              : QString::number(window.GetControlState(number));
    return expectation.left(at + 1) + shown;
}

} // namespace

class LiveControlTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void gestures_data()
    {
        QTest::addColumn<QStringList>("row");
        for (const Words& row : ReadTable("gestures.tsv")) {
            QStringList fields;
            for (const std::string& field : row) {
                fields << QString::fromStdString(field);
            }
            QTest::newRow(row[0].c_str()) << fields;
        }
    }

    void gestures()
    {
        QFETCH(QStringList, row);
        ProgramUnderTest p(30);
        for (const QString& step : row[1].split(u';')) {
            Step(p, step.split(u' ', Qt::SkipEmptyParts));
        }
        QStringList sent;
        for (const FloatMessage& m : DecodeFloatMessages(p.console.TakeAll())) {
            sent << QString::fromStdString(m.address) + u' ' + QString::number(static_cast<double>(m.value), 'g', 7);
        }
        QCOMPARE(sent.join(u"; "), row[2] == u"-" ? QString() : row[2]);
        for (const QString& expectation : row[3].split(u' ')) {
            QCOMPARE(Shown(p, expectation), expectation);
        }
    }

    // Edit Config.ini and Updates hand their work to the desktop's opener and do not wait.
    void openersGetTheFileAndThePage()
    {
        ProgramUnderTest p(31);
        const QString bin = p.Path(QStringLiteral("bin"));
        QDir().mkpath(bin);
        WriteFile(bin + u"/xdg-open"_s, "#!/bin/sh\necho \"$PWD|$*\" >> \"$(dirname \"$0\")/../opener.log\"\n");
        QFile::setPermissions(bin + u"/xdg-open"_s, QFile::ReadOwner | QFile::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.toLocal8Bit() + ':' + path);
        p.Click(CommandControl(ControlRole::EditConfig));
        QTRY_COMPARE(ReadFile(p.Path(u"opener.log"_s)), p.folder_.path().toLocal8Bit() + "|config.ini\n");
        p.Click(CommandControl(ControlRole::Updates));
        qputenv("PATH", path);
        QTRY_VERIFY(ReadFile(p.Path(u"opener.log"_s)).endsWith("|https://github.com/quillon-mixer/quillon/releases\n"));
        QVERIFY(p.console.TakeAll().empty());
    }

    // Inside the loopback-only namespace 192.0.2.1 cannot be reached: each send fails at once,
    // and the window goes on as if it had gone out.
    void anUnreachableConsoleDisturbsNothing()
    {
        if (!OnlyLoopbackReachable()) {
            QSKIP("needs the loopback-only namespace of the test command");
        }
        ProgramUnderTest p(32, "192\r\n0\r\n2\r\n1\r\n");
        const Control& link = FirstWith(ControlRole::Link);
        const Control& follower = ControlAt(link.follower);
        Step(p, {u"key"_s, QString::number(link.trackbar), u"PgUp"_s});
        Step(p, {u"click"_s, QString::number(link.number)});
        QCOMPARE(p.program.window.GetControlText(follower.valueField), u"10"_s);
        QVERIFY(!p.Control(follower.number)->isEnabled());
    }
};

QTEST_MAIN(LiveControlTest)
#include "LiveControlTest.moc"
