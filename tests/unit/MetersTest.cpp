// The meters: the request's bytes, the console's frames good and broken (tests/data/meter-frames.tsv).
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
