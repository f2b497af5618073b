// An evening's use in miniature, round after round: fader moves, links, banks, saves, loads and resets against a socket
// on loopback; then one scene with lines of 20 and 4 MiB. Prints resident memory, open files and peak memory; exits 1
// when memory or open files grew over the rounds. Usage: bench_soak [rounds] (scripts/soak.sh runs it).
#include "Bench.h"
#include "gui/GuiFixture.h"

#include <QApplication>
#include <QDir>
#include <QTest>

namespace {

// The number of the control of a role that a round uses, going round again after the last.
int NthWith(ControlRole role, int round)
{
    auto control = ControlsWith(role).begin();
    for (int skip = round % static_cast<int>(CountWith(role)); skip > 0; --skip) {
        ++control;
    }
    return (*control).number;
}

// 50 fader moves, a link switched (off again a round of all links later), a bank, save, load, reset.
std::size_t Round(ProgramUnderTest& p, int round)
{
    QWidget* fader = p.Control(NthWith(ControlRole::Fader, round));
    for (int move = 0; move < 50; ++move) {
        fader->setFocus();
        QTest::keyClick(fader, move % 2 ? Qt::Key_PageUp : Qt::Key_Down);
    }
    p.Click(NthWith(ControlRole::Link, round));
    p.Click(NthWith(ControlRole::FaderBank, round));
    const QString scene = p.Path(QStringLiteral("evening.scene"));
    p.answerer.TypeFileName(scene);
    p.Click(CommandControl(ControlRole::SaveScene));
    p.answerer.TypeFileName(scene);
    p.Click(CommandControl(ControlRole::LoadScene));
    p.Click(CommandControl(ControlRole::Reset));
    p.answerer.messages.clear();
    return p.console.TakeAll().size();
}

// Resident KiB and open files.
std::pair<long, long> Held()
{
    return {ProcNumber("/proc/self/status", "VmRSS:"),
            static_cast<long>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System).size())};
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
    ProgramUnderTest p(210); // within the benchmarks' own loopback range
    Round(p, 0);             // the first dialogs and message boxes fill Qt's caches once
    const auto before = Held();
    std::size_t messages = 0;
    for (int round = 1; round <= rounds; ++round) {
        messages += Round(p, round);
    }
    const auto after = Held();
    std::printf("%d rounds, %zu messages: resident %ld KiB before, %ld KiB after; open files %ld before, %ld after\n",
                rounds, messages, before.first, after.first, before.second, after.second);
    // Lines far longer than any scene holds: a fader line and a preamp line.
    WriteFile(p.Path(QStringLiteral("huge.scene")), QByteArray(20 << 20, '9') + "\r\n" +
                                                        QByteArray("0\r\n").repeated(32) + QByteArray(4 << 20, '5') +
                                                        "\r\n" + QByteArray("0\r\n").repeated(45));
    std::ofstream("/proc/self/clear_refs") << "5"; // peak resident memory from here
    const long peakBefore = ProcNumber("/proc/self/status", "VmHWM:");
    p.answerer.TypeFileName(p.Path(QStringLiteral("huge.scene")));
    p.Click(CommandControl(ControlRole::LoadScene));
    std::printf("scene lines of 20 and 4 MiB: peak resident memory grew by %ld MiB\n",
                (ProcNumber("/proc/self/status", "VmHWM:") - peakBefore) / 1024);
    // A few MiB of allocator slack is not growth; a leak of one block per message would be.
    const bool flat = after.first - before.first < 4096 && after.second == before.second;
    std::printf("%s\n", flat ? "flat" : "GREW");
    return flat ? 0 : 1;
}
