// The live controls as the user works them, one table of gestures (tests/data/gestures.tsv) with
// what the console receives and what the window shows; the opener commands.
#include "gui/GuiFixture.h"

#include <QAccessible>
#include <QTest>

using namespace Qt::StringLiterals;

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
        QCOMPARE(SentText(p.Received()), row[2] == u"-" ? QString() : row[2]);
        QCOMPARE(p.Shown(row[3]), row[3]);
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
