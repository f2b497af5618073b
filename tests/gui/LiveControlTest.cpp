// The live controls as the user works them, one table of gestures (tests/data/gestures.tsv) with
// what the console receives and what the window shows; the opener commands.
#include "gui/GuiFixture.h"

#include <QAccessible>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// "address value; address value" as the gesture table writes what the console receives.
QString Sent(const std::vector<Bytes>& datagrams)
{
    QStringList sent;
    for (const FloatMessage& m : DecodeFloatMessages(datagrams)) {
        sent << QString::fromStdString(m.address) + u' ' + QString::number(static_cast<double>(m.value), 'g', 7);
    }
    return sent.join(u"; ");
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
        p.Do(row[1]);
        QCOMPARE(Sent(p.console.TakeAll()), row[2] == u"-" ? QString() : row[2]);
        QCOMPARE(p.Shown(row[3]), row[3]);
    }

    void bankBoxesAreRadioButtons()
    {
        ProgramUnderTest p(33);
        for (const Words& row : ReadTable("bank-boxes.tsv")) {
            const int box = std::stoi(row[0]);
            for (int other = 67; other <= 71; ++other) {
                p.program.window.SetControlState(other, other == box ? 0 : 1);
            }
            p.Click(box);
            QCOMPARE(Sent(p.console.TakeAll()), QString::fromStdString(row[1]));
            QCOMPARE(p.Shown(QString::fromStdString(row[2])), QString::fromStdString(row[2]));
        }
    }

    // A click that comes while a preamp gain goes out is dropped by the gain's own look at pending
    // input, which the first preamp's gain leaves out: there the click is sent after it.
    void clickDuringAGainSend_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("sent");
        QTest::newRow("P01: kept") << u"type 156 30; return"_s << u"/headamp/000/gain 0.3; /ch/03/mix/on 0"_s;
        QTest::newRow("P05: dropped") << u"type 164 30; return"_s << u"/headamp/004/gain 0.3"_s;
    }

    void clickDuringAGainSend()
    {
        QFETCH(QString, steps);
        QFETCH(QString, sent);
        ProgramUnderTest p(32);
        InputAtDatagram hand(p.console, 1, {p.Control(190)});
        p.Do(steps);
        std::vector<Bytes> datagrams = hand.Take();
        p.Pump();
        for (Bytes& datagram : p.console.WaitFor(1, std::chrono::milliseconds(300))) {
            datagrams.push_back(std::move(datagram));
        }
        QCOMPARE(Sent(datagrams), sent);
    }

    // Edit Config.ini and Updates hand their work to the desktop's opener and do not wait.
    void openersGetTheFileAndThePage()
    {
        ProgramUnderTest p(31);
        WriteFile(p.Path(u"xdg-open"_s), "#!/bin/sh\necho \"$PWD|$*\" >> \"$(dirname \"$0\")/opener.log\"\n");
        QFile::setPermissions(p.Path(u"xdg-open"_s), QFile::ReadOwner | QFile::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(p.folder_.path()) + ':' + path);
        p.Click(kEditConfigButton);
        QTRY_COMPARE(ReadFile(p.Path(u"opener.log"_s)), p.folder_.path().toLocal8Bit() + "|config.ini\n");
        p.Click(kUpdatesButton);
        qputenv("PATH", path);
        QTRY_VERIFY(ReadFile(p.Path(u"opener.log"_s)).endsWith("|https://github.com/quillon-mixer/quillon/releases\n"));
        QVERIFY(p.console.TakeAll().empty());
    }
};

QTEST_MAIN(LiveControlTest)
#include "LiveControlTest.moc"
