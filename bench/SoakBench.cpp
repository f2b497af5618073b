// An evening's use in miniature, round after round: fader moves, links, banks, saves, loads and
// resets against a socket on loopback; then one scene with lines of 20 and 4 MiB. Prints resident
// memory, open files and peak memory; exits 1 when memory or open files grew over the rounds.
// Usage: bench_soak [rounds] (scripts/soak.sh runs it in a loopback-only namespace).
#include "gui/GuiFixture.h"

#include <QApplication>
#include <QDir>
#include <QTest>

#include <cstdio>
#include <fstream>

namespace {

constexpr int kOctet = 210; // within the benchmarks' own loopback range
constexpr int kFaderMovesPerRound = 50;

long StatusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) {
            return std::stol(line.substr(std::string(field).size()));
        }
    }
    return -1;
}

int OpenFiles()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System).size());
}

std::size_t Round(ProgramUnderTest& p, int round)
{
    QWidget* fader = p.Control(NthWith(ControlRole::Fader, round % 33).number);
    for (int move = 0; move < kFaderMovesPerRound; ++move) {
        fader->setFocus();
        QTest::keyClick(fader, move % 2 ? Qt::Key_PageUp : Qt::Key_Down);
    }
    p.Click(NthWith(ControlRole::Link, round % 8).number); // on, and off again eight rounds later
    p.Click(NthWith(ControlRole::FaderBank, round % 5).number);
    const QString scene = p.Path(QStringLiteral("evening.scene"));
    p.answerer.TypeFileName(scene);
    p.Click(CommandControl(ControlRole::SaveScene));
    p.answerer.TypeFileName(scene);
    p.Click(CommandControl(ControlRole::LoadScene));
    p.Click(CommandControl(ControlRole::Reset));
    p.answerer.messages.clear();
    return p.console.TakeAll().size();
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
    ProgramUnderTest p(kOctet);
    Round(p, 0); // the first dialogs and message boxes fill Qt's caches once
    const long residentBefore = StatusKiB("VmRSS:");
    const int filesBefore = OpenFiles();
    std::size_t messages = 0;
    for (int round = 1; round <= rounds; ++round) {
        messages += Round(p, round);
    }
    const long residentAfter = StatusKiB("VmRSS:");
    const int filesAfter = OpenFiles();
    std::printf("%d rounds, %zu messages: resident %ld KiB before, %ld KiB after; open files %d before, %d after\n",
                rounds, messages, residentBefore, residentAfter, filesBefore, filesAfter);

    // Lines far longer than any scene holds: a fader line and a preamp line.
    QByteArray huge = QByteArray(20 << 20, '9') + "\r\n" + QByteArray("0\r\n").repeated(32) + QByteArray(4 << 20, '5') +
                      "\r\n" + QByteArray("0\r\n").repeated(45);
    WriteFile(p.Path(QStringLiteral("huge.scene")), huge);
    huge.clear();
    std::ofstream("/proc/self/clear_refs") << "5";
    const long peakBefore = StatusKiB("VmHWM:");
    p.answerer.TypeFileName(p.Path(QStringLiteral("huge.scene")));
    p.Click(CommandControl(ControlRole::LoadScene));
    std::printf("scene lines of 20 and 4 MiB: peak resident memory grew by %ld MiB\n",
                (StatusKiB("VmHWM:") - peakBefore) / 1024);

    // A few MiB of allocator slack is not growth; a leak of one block per message would be.
    const bool flat = residentAfter - residentBefore < 4096 && filesAfter == filesBefore;
    std::printf("%s\n", flat ? "flat" : "GREW");
    return flat ? 0 : 1;
}
