// The live controls as the user works them, one table of gestures (tests/data/gestures.tsv) with
// what the console receives and what the window shows; the opener commands.
#include "gui/GuiFixture.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

void Step(ProgramUnderTest& p, const QStringList& words)
{
    const QString& what = words[0];
    QWidget* control = words.size() > 1 ? p.Control(words[1].toInt()) : QApplication::focusWidget();
    if (what == u"drag") {
        const QPoint thumb(control->width() / 2, control->height() - 6); // at 0, the thumb sits at the bottom
        QTest::mousePress(control, Qt::LeftButton, {}, thumb);
        QTest::mouseMove(control, thumb - QPoint(0, 300));
        QTest::mouseRelease(control, Qt::LeftButton, {}, thumb - QPoint(0, 300));
    } else if (what == u"key") { // without a key: the focus only
        control->setFocus();
        if (words.size() > 2) {
            QTest::keyClick(control, QKeySequence::fromString(words[2])[0].key());
        }
    } else if (what == u"type") {
        p.TypeInto(words[1].toInt(), words[2]);
    } else if (what == u"return" || what == u"enter") {
        QTest::keyClick(control ? control : p.program.window.MainWindow(),
                        what == u"return" ? Qt::Key_Return : Qt::Key_Enter);
    } else if (what == u"click") {
        p.Click(words[1].toInt());
    }
    p.Pump();
}

QString Shown(ProgramUnderTest& p, const QString& expectation)
{
    const qsizetype at = expectation.indexOf(QRegularExpression(QStringLiteral("[=:]")));
    const int number = expectation.left(at).toInt();
    HostWindow& window = p.program.window;
    QString shown = expectation[at + 1] == u'"' ? u'"' + window.GetControlText(number) + u'"'
                    : expectation[at] == u':'   ? (p.Control(number)->isEnabled() ? u"on"_s : u"off"_s)
                                                : QString::number(window.GetControlState(number));
    return expectation.left(at + 1) + shown;
}

} // namespace

class LiveControlTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Under scripts/with-accessibility.sh the same gestures must send the same datagrams.
    void initTestCase()
    {
        if (qEnvironmentVariableIsSet("QUILLON_EXPECT_ACCESSIBLE")) {
            QTRY_VERIFY(QAccessible::isActive());
        }
    }

    void gestures_data()
    {
        QTest::addColumn<QStringList>("row");
        for (const Words& row : ReadTable("gestures.tsv")) {
            QTest::newRow(row[0].c_str())
                << QString::fromStdString(row[0] + '\t' + row[1] + '\t' + row[2] + '\t' + row[3]).split(u'\t');
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
};

QTEST_MAIN(LiveControlTest)
#include "LiveControlTest.moc"
