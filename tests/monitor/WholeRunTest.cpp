// The whole system without a console: the program, offscreen, sends a reset to quillon-monitor,
// whose state table must then hold the 69 values the console would hold.
#include "MonitorProcess.h"

#include "gui/GuiFixture.h"

#include <QTest>

class WholeRunTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void resetReachesTheMonitor()
    {
        constexpr int kMonitorOctet = 15;
        Monitor monitor(kMonitorOctet, {"--count", "69", "--timeout", "60"});
        QVERIFY(monitor.Listening());
        ProgramUnderTest p(16, ConfigFor(kMonitorOctet));
        p.Click(82);
        QVERIFY(monitor.ExitsWithZero());

        const std::vector<std::string> lines = monitor.Lines();
        const auto state = std::find(lines.begin(), lines.end(), "state (69 addresses):");
        QVERIFY(state != lines.end());
        const std::vector<std::string> table(state + 1, lines.end());
        QCOMPARE(table.size(), std::size_t{69});
        const auto has = [&table](const std::string& row) {
            return std::find(table.begin(), table.end(), row) != table.end();
        };
        QVERIFY(has("  /ch/01/mix/fader ,f 0.0 = -inf dB"));
        QVERIFY(has("  /main/st/mix/on ,f 1.0 = on"));
        QVERIFY(has("  /headamp/015/gain ,f 0.0 = preamp gain -12.0 dB"));
        QVERIFY(has("  /-action/initall ,f 1.0 = initialise console"));
        QVERIFY(std::find(lines.begin(), lines.end(), "summary: 69 messages, 0 malformed datagrams") != lines.end());
    }
};

QTEST_MAIN(WholeRunTest)
#include "WholeRunTest.moc"
