// An evening's use in miniature: fader moves, links, banks, saves, loads and resets, round after
// round. Memory and open files must not grow. QUILLON_ROUNDS sets the rounds (scripts/soak.sh
// runs many; the suite runs a few, under LeakSanitizer in the sanitizer build).
#include "gui/GuiFixture.h"

#include <QDir>
#include <QTest>

#include <fstream>

namespace {

long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

int OpenFiles()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System).size());
}

constexpr int kFaderMovesPerRound = 50;

} // namespace

class LongUseTest : public QObject {
    Q_OBJECT

private:
    // One round of a user's evening; returns the messages the console received.
    static std::size_t Round(ProgramUnderTest& p, int round)
    {
        for (int move = 0; move < kFaderMovesPerRound; ++move) {
            QWidget* trackbar = p.Control(84 + (round + move) % 33);
            trackbar->setFocus();
            QTest::keyClick(trackbar, move % 2 ? Qt::Key_PageUp : Qt::Key_Down);
        }
        p.Click(72 + round % 8); // a link on, then off in the next-but-seven round
        p.Click(67 + round % 5);
        const QString scene = p.Folder() + QStringLiteral("/evening.scene");
        p.answerer.TypeFileName(scene);
        p.Click(81);
        p.answerer.TypeFileName(scene);
        p.Click(80);
        p.Click(82);
        p.answerer.messages.clear();
        p.answerer.fileDialogTitles.clear();
        return p.console.TakeAll().size();
    }

private Q_SLOTS:
    void memoryAndOpenFilesStayFlat()
    {
        const int rounds = std::max(2, qEnvironmentVariableIntValue("QUILLON_ROUNDS"));
        ProgramUnderTest p(90);
        Round(p, 0); // the first dialogs and message boxes fill Qt's caches once
        const long residentBefore = ResidentKiB();
        const int filesBefore = OpenFiles();
        std::size_t messages = 0;
        for (int round = 1; round <= rounds; ++round) {
            messages += Round(p, round);
        }
        const long residentAfter = ResidentKiB();
        const int filesAfter = OpenFiles();
        qInfo("%d rounds, %d fader moves, %zu messages: resident %ld -> %ld KiB, open files %d -> %d", rounds,
              rounds * kFaderMovesPerRound, messages, residentBefore, residentAfter, filesBefore, filesAfter);
        QVERIFY(messages >= static_cast<std::size_t>(rounds) * (kFaderMovesPerRound + 69));
        QCOMPARE(filesAfter, filesBefore);
        if (kMemoryFiguresMeaningful) {
            QVERIFY2(residentAfter - residentBefore < 4096, "resident memory grew by more than 4 MiB");
        }
    }
};

QTEST_MAIN(LongUseTest)
#include "LongUseTest.moc"
