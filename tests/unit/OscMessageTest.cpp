// The encoder's bytes: address and type-tag padding, big-endian float bits, the block bound.
#include "osc/OscMessage.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

struct Block {
    Bytes bytes = Bytes(kOscMessageSize, 0);
    std::ptrdiff_t Build(std::string_view address, float value)
    {
        return BuildOscMessage(bytes.data(), address, ",f", value);
    }
    Bytes Head(std::ptrdiff_t length) const { return Bytes(bytes.begin(), bytes.begin() + length); }
};

struct WholeMessage {
    const char* name;
    const char* address;
    float value;
    Bytes expected;
};

void PrintTo(const WholeMessage& row, std::ostream* out)
{
    *out << '"' << row.address << "\" " << row.value;
}

class OscEncoderWholeMessage : public testing::TestWithParam<WholeMessage> {};

TEST_P(OscEncoderWholeMessage, MatchesBytes)
{
    Block block;
    const std::ptrdiff_t length = block.Build(GetParam().address, GetParam().value);
    ASSERT_EQ(length, static_cast<std::ptrdiff_t>(GetParam().expected.size()));
    EXPECT_EQ(block.Head(length), GetParam().expected);
    // Bytes after the message are never written.
    EXPECT_EQ(std::count(block.bytes.begin() + length, block.bytes.end(), 0), kOscMessageSize - length);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Addresses, OscEncoderWholeMessage, testing::Values(
    // "/ch/01/mix/fader" + 4 NUL | ",f" + 2 NUL | 0.75f
    WholeMessage{"ChannelFader", "/ch/01/mix/fader", 0.75f,
                 {0x2F,0x63,0x68,0x2F, 0x30,0x31,0x2F,0x6D, 0x69,0x78,0x2F,0x66, 0x61,0x64,0x65,0x72,
                  0x00,0x00,0x00,0x00, 0x2C,0x66,0x00,0x00, 0x3F,0x40,0x00,0x00}},
    // "/main/st/mix/on" + 1 NUL | ",f" + 2 NUL | 0.0f
    WholeMessage{"MainOnOneNul", "/main/st/mix/on", 0.0f,
                 {0x2F,0x6D,0x61,0x69, 0x6E,0x2F,0x73,0x74, 0x2F,0x6D,0x69,0x78, 0x2F,0x6F,0x6E,0x00,
                  0x2C,0x66,0x00,0x00, 0x00,0x00,0x00,0x00}},
    // "/dca/1/fader" + 4 NUL | ",f" + 2 NUL | 0.5f
    WholeMessage{"DcaFader", "/dca/1/fader", 0.5f,
                 {0x2F,0x64,0x63,0x61, 0x2F,0x31,0x2F,0x66, 0x61,0x64,0x65,0x72, 0x00,0x00,0x00,0x00,
                  0x2C,0x66,0x00,0x00, 0x3F,0x00,0x00,0x00}},
    // "/config/chlink/15-16" + 4 NUL | ",f" + 2 NUL | 1.0f: the longest message
    WholeMessage{"LongestLink", "/config/chlink/15-16", 1.0f,
                 {0x2F,0x63,0x6F,0x6E, 0x66,0x69,0x67,0x2F, 0x63,0x68,0x6C,0x69, 0x6E,0x6B,0x2F,0x31,
                  0x35,0x2D,0x31,0x36, 0x00,0x00,0x00,0x00, 0x2C,0x66,0x00,0x00, 0x3F,0x80,0x00,0x00}},
    // "/gain" + 3 NUL | ",f" + 2 NUL | 1.0f
    WholeMessage{"Gain", "/gain", 1.0f,
                 {0x2F,0x67,0x61,0x69, 0x6E,0x00,0x00,0x00, 0x2C,0x66,0x00,0x00, 0x3F,0x80,0x00,0x00}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Address length against where the type tag must start: 1 to 4 NUL after the text.
struct Padding {
    int addressLength;
    std::ptrdiff_t tagOffset;
};

void PrintTo(const Padding& row, std::ostream* out)
{
    *out << row.addressLength << " characters";
}

class OscEncoderPadding : public testing::TestWithParam<Padding> {};

TEST_P(OscEncoderPadding, PadsAddressWithOneToFourNul)
{
    const std::string address = "/" + std::string(static_cast<std::size_t>(GetParam().addressLength - 1), 'a');
    Block block;
    const std::ptrdiff_t tag = GetParam().tagOffset;
    ASSERT_EQ(block.Build(address, 1.0f), tag + 8);
    const Bytes text(address.begin(), address.end());
    EXPECT_EQ(block.Head(GetParam().addressLength), text);
    EXPECT_EQ(Bytes(block.bytes.begin() + GetParam().addressLength, block.bytes.begin() + tag),
              Bytes(static_cast<std::size_t>(tag - GetParam().addressLength), 0x00));
    EXPECT_EQ(Bytes(block.bytes.begin() + tag, block.bytes.begin() + tag + 8),
              (Bytes{0x2C, 0x66, 0x00, 0x00, 0x3F, 0x80, 0x00, 0x00}));
}

INSTANTIATE_TEST_SUITE_P(EveryLengthModFour, OscEncoderPadding,
                         testing::Values(Padding{1, 4}, Padding{2, 4}, Padding{3, 4}, Padding{4, 8}, Padding{5, 8},
                                         Padding{6, 8}, Padding{7, 8}, Padding{8, 12}),
                         [](const auto& info) { return "Length" + std::to_string(info.param.addressLength); });

// The argument is the float's own bit pattern, most significant byte first.
struct FloatBytes {
    const char* name;
    float value;
    Bytes expected;
};

void PrintTo(const FloatBytes& row, std::ostream* out)
{
    *out << row.value << 'f';
}

class OscEncoderFloat : public testing::TestWithParam<FloatBytes> {};

TEST_P(OscEncoderFloat, WritesBigEndianBits)
{
    Block block;
    // "/gain" + 3 NUL | ",f" + 2 NUL | the float at offset 12
    ASSERT_EQ(block.Build("/gain", GetParam().value), 16);
    EXPECT_EQ(Bytes(block.bytes.begin() + 12, block.bytes.begin() + 16), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, OscEncoderFloat,
                         testing::Values(FloatBytes{"Zero", 0.0f, {0x00, 0x00, 0x00, 0x00}},
                                         FloatBytes{"One", 1.0f, {0x3F, 0x80, 0x00, 0x00}},
                                         FloatBytes{"PointOne", 0.1f, {0x3D, 0xCC, 0xCC, 0xCD}},
                                         FloatBytes{"PointTwo", 0.2f, {0x3E, 0x4C, 0xCC, 0xCD}},
                                         FloatBytes{"PointZeroOne", 0.01f, {0x3C, 0x23, 0xD7, 0x0A}},
                                         FloatBytes{"PointSix", 0.6f, {0x3F, 0x19, 0x99, 0x9A}},
                                         FloatBytes{"ThreeQuarters", 0.75f, {0x3F, 0x40, 0x00, 0x00}},
                                         FloatBytes{"MinusOne", -1.0f, {0xBF, 0x80, 0x00, 0x00}}),
                         [](const auto& info) { return std::string(info.param.name); });

// A zero-filled block followed by 16 poison bytes that no write may reach.
Bytes GuardedBlock()
{
    Bytes guarded(kOscMessageSize + 16, 0xEE);
    std::fill(guarded.begin(), guarded.begin() + kOscMessageSize, 0);
    return guarded;
}

TEST(OscEncoder, NullBlockGivesZero)
{
    EXPECT_EQ(BuildOscMessage(nullptr, "/ch/01/mix/fader", ",f", 0.75f), 0);
}

// The largest address that fits: 2039 characters + 1 NUL = 2040, then 4 + 4 bytes = the whole block.
TEST(OscEncoder, FillsBlockExactlyWithLongestAddress)
{
    Bytes guarded = GuardedBlock();
    const std::string address(2039, 'a');
    ASSERT_EQ(BuildOscMessage(guarded.data(), address, ",f", 1.0f), kOscMessageSize);
    EXPECT_EQ(guarded[2039], 0x00);
    EXPECT_EQ(Bytes(guarded.begin() + 2040, guarded.begin() + kOscMessageSize),
              (Bytes{0x2C, 0x66, 0x00, 0x00, 0x3F, 0x80, 0x00, 0x00}));
    EXPECT_EQ(Bytes(guarded.begin() + kOscMessageSize, guarded.end()), Bytes(16, 0xEE));
}

// One character more pads the address to 2044 and the message to 2052: refused untouched.
TEST(OscEncoder, RejectsMessageLongerThanBlock)
{
    Bytes guarded = GuardedBlock();
    const Bytes before = guarded;
    EXPECT_EQ(BuildOscMessage(guarded.data(), std::string(2040, 'a'), ",f", 1.0f), 0);
    EXPECT_EQ(guarded, before);
}

} // namespace
