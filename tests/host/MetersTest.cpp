// The meters: the request's bytes, the console's frames good and broken, and how a bar moves on a
// clock of the test's own (tests/data/meter-frames.tsv, meter-ballistics.tsv).
#include "host/MeterBallistics.h"
#include "monitor/Numbers.h"
#include "osc/MeterFrame.h"
#include "osc/OscMessage.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

TEST(MeterWire, RequestWritesItsOwnPadding)
{
    Bytes block(kOscMessageSize, 0xAA);
    block.resize(static_cast<std::size_t>(BuildMeterRequest(block.data())));
    EXPECT_EQ(block, ParseBytes(R"("/meters"~ ",siii"~ "/meters/5"~ 00000000 00000001 00000001)"));
}

TEST(MeterWire, FramesGoodAndBroken)
{
    for (const Words& row : ReadTable("meter-frames.tsv")) {
        std::string bytes = row[1];
        std::istringstream words(row[2]);
        for (std::string word; words >> word;) { // "12*00000000": twelve of one word
            const std::size_t star = word.find('*') + 1;
            for (int n = star > 0 ? std::stoi(word) : 1; n > 0; --n) {
                bytes += ' ' + word.substr(star);
            }
        }
        const DecodeResult decoded = DecodeDatagram(ParseBytes(bytes));
        std::string taken = decoded.Ok() && !IsMeterMessage(decoded.messages.at(0)) ? "no meters" : "ignored";
        if (const auto frame = decoded.Ok() ? DecodeMeterFrame(decoded.messages[0]) : std::nullopt) {
            taken.clear();
            for (std::size_t i = 0; i < frame->size(); ++i) {
                if ((*frame)[i] != -INFINITY) {
                    taken += (taken.empty() ? "" : " ") + std::to_string(i) + '=' + Fixed((*frame)[i], 2);
                }
            }
        }
        EXPECT_EQ(taken, row[3]) << row[0];
    }
}

TEST(MeterBar, RiseFallPeakClipAndFloor)
{
    meter::Bar bar;
    const auto at = [](int ms) { return meter::Clock::time_point{} + std::chrono::milliseconds(100000 + ms); };
    const auto number = [](const std::string& cell, float dash) { return cell == "-" ? dash : std::stof(cell); };
    int now = 0;
    for (const Words& row : ReadTable("meter-ballistics.tsv")) {
        const int ms = std::stoi(row[1]);
        for (now += 50; row[2] == "stream" && now <= ms; now += 50) {
            bar.Feed(number(row[3], 0), at(now));
        }
        now = ms;
        row[2] == "new"    ? void(bar = {})
        : row[2] == "feed" ? bar.Feed(number(row[3], 0), at(ms))
        : row[2] == "drop" ? bar.Drop(at(ms))
                           : bar.Advance(at(ms));
        const float peak = row[6] == "level" ? bar.Level() : number(row[6], bar.Peak());
        EXPECT_TRUE(bar.Level() >= number(row[4], -INFINITY) && bar.Level() <= number(row[5], INFINITY) &&
                    bar.Peak() == peak && (row[7] == "-" || bar.Clip() == (row[7] == "yes")))
            << row[0] << " at " << ms << " ms: level " << bar.Level() << ", peak " << bar.Peak() << ", clip "
            << bar.Clip();
    }
}
