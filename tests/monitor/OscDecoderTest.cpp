// The monitor's strict OSC 1.0 decoder: every argument type, bundles, and every way a datagram can be wrong.
#include "monitor/OscDecoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using Datagram = std::vector<std::uint8_t>;

Datagram Text(std::string_view text)
{
    return Datagram(text.begin(), text.end());
}

Datagram operator+(Datagram head, const Datagram& tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

Datagram Int32(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

// A bundle with time tag "immediately" (1) and each element preceded by its size.
Datagram Bundle(const std::vector<Datagram>& elements)
{
    Datagram bundle = Text({"#bundle\0", 8}) + Int32(0) + Int32(1);
    for (const Datagram& element : elements) {
        bundle = bundle + Int32(static_cast<std::uint32_t>(element.size())) + element;
    }
    return bundle;
}

// "/ch/01/mix/fader" + 4 NUL | ",f" + 2 NUL | 0.75f big-endian: the 28 bytes Quillon sends.
const Datagram kFader = {0x2F, 0x63, 0x68, 0x2F, 0x30, 0x31, 0x2F, 0x6D, 0x69, 0x78, 0x2F, 0x66, 0x61, 0x64,
                         0x65, 0x72, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x66, 0x00, 0x00, 0x3F, 0x40, 0x00, 0x00};

const DecodedMessage kFaderMessage{"/ch/01/mix/fader", ",f", {0.75f}};

TEST(OscDecoder, DecodesAFloatMessage)
{
    const DecodeResult result = DecodeDatagram(kFader);
    ASSERT_TRUE(result.Ok()) << result.error;
    ASSERT_EQ(result.messages.size(), 1u);
    EXPECT_EQ(result.messages[0], kFaderMessage);
}

TEST(OscDecoder, DecodesIntStringAndBlobArguments)
{
    // "/x" + 2 NUL | ",isbf" + 3 NUL | -2 | "hi" + 2 NUL | size 5, 5 bytes + 3 NUL | 1.0f
    const Datagram datagram = Text({"/x\0\0,isbf\0\0\0", 12}) + Int32(0xFFFFFFFE) + Text({"hi\0\0", 4}) + Int32(5) +
                              Datagram{1, 2, 3, 4, 5, 0, 0, 0} + Int32(0x3F800000);
    const DecodeResult result = DecodeDatagram(datagram);
    ASSERT_TRUE(result.Ok()) << result.error;
    ASSERT_EQ(result.messages.size(), 1u);
    const DecodedMessage expected{"/x", ",isbf", {std::int32_t{-2}, std::string("hi"), OscBlob{1, 2, 3, 4, 5}, 1.0f}};
    EXPECT_EQ(result.messages[0], expected);
}

TEST(OscDecoder, DecodesEveryPaddingLength)
{
    // Addresses and strings of every length mod 4, and blobs of 0 to 4 bytes.
    for (std::size_t length = 1; length <= 8; ++length) {
        const std::string address = "/" + std::string(length - 1, 'a');
        const Datagram padded = Text(address) + Datagram(4 - length % 4, 0);
        const Datagram string = Text(address) + Datagram(4 - length % 4, 0);
        const Datagram blob = Int32(static_cast<std::uint32_t>(length - 1)) + Datagram(length - 1, 7) +
                              Datagram((4 - (length - 1) % 4) % 4, 0);
        const DecodeResult result = DecodeDatagram(padded + Text({",sb\0", 4}) + string + blob);
        ASSERT_TRUE(result.Ok()) << "length " << length << ": " << result.error;
        const DecodedMessage expected{address, ",sb", {address, OscBlob(length - 1, 7)}};
        EXPECT_EQ(result.messages.at(0), expected) << "length " << length;
    }
}

TEST(OscDecoder, DecodesAMessageWithoutArguments)
{
    const DecodeResult result = DecodeDatagram(Text({"/-action/initall\0\0\0\0,\0\0\0", 24}));
    ASSERT_TRUE(result.Ok()) << result.error;
    EXPECT_EQ(result.messages.at(0), (DecodedMessage{"/-action/initall", ",", {}}));
}

TEST(OscDecoder, FlattensNestedBundlesInOrder)
{
    const Datagram on = Text({"/ch/01/mix/on\0\0\0,f\0\0", 20}) + Int32(0);
    const DecodeResult result = DecodeDatagram(Bundle({kFader, Bundle({on, Bundle({})}), kFader}));
    ASSERT_TRUE(result.Ok()) << result.error;
    const std::vector<DecodedMessage> expected{kFaderMessage, {"/ch/01/mix/on", ",f", {0.0f}}, kFaderMessage};
    EXPECT_EQ(result.messages, expected);
}

TEST(OscDecoder, AcceptsAnEmptyBundle)
{
    const DecodeResult result = DecodeDatagram(Bundle({}));
    EXPECT_TRUE(result.Ok()) << result.error;
    EXPECT_TRUE(result.messages.empty());
}

Datagram Nested(int depth)
{
    return depth == 0 ? kFader : Bundle({Nested(depth - 1)});
}

TEST(OscDecoder, BoundsBundleNesting)
{
    EXPECT_TRUE(DecodeDatagram(Nested(kMaxBundleDepth)).Ok());
    const DecodeResult tooDeep = DecodeDatagram(Nested(kMaxBundleDepth + 1));
    EXPECT_FALSE(tooDeep.Ok());
    EXPECT_NE(tooDeep.error.find("bundles nested deeper than 8 levels"), std::string::npos) << tooDeep.error;
    EXPECT_TRUE(tooDeep.messages.empty());
}

struct Malformed {
    const char* name;
    Datagram datagram;
    const char* error;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const Malformed& row, std::ostream* out)
{
    *out << row.name;
}

class MalformedDatagram : public testing::TestWithParam<Malformed> {};

TEST_P(MalformedDatagram, GivesOneClearErrorAndNoMessages)
{
    const DecodeResult result = DecodeDatagram(GetParam().datagram);
    EXPECT_EQ(result.error, GetParam().error);
    EXPECT_TRUE(result.messages.empty());
}

const Datagram kHeader = Text({"/a\0\0", 4});
const Datagram kFloatTag = Text({",f\0\0", 4});
const Datagram kElement = Int32(28);

INSTANTIATE_TEST_SUITE_P(
    OscDecoder, MalformedDatagram,
    testing::Values(
        Malformed{"Empty", {}, "empty datagram"},
        Malformed{"AddressWithoutNul", Text("/ch/01"), "address not terminated by a NUL byte"},
        Malformed{"AddressPaddingCut", Text({"/abcd\0", 6}), "address padding truncated"},
        Malformed{"AddressPaddingNotZero", Text({"/abcde\0x,f\0\0", 12}) + Int32(0),
                  "address not padded with zero bytes"},
        Malformed{"AddressWithoutSlash", Text({"a\0\0\0", 4}) + kFloatTag + Int32(0),
                  "address does not start with '/'"},
        Malformed{"MissingTypeTags", kHeader, "missing type tag string"},
        Malformed{"TypeTagsWithoutComma", kHeader + Text({"f\0\0\0", 4}) + Int32(0),
                  "type tag string does not start with ','"},
        Malformed{"TypeTagPaddingNotZero", kHeader + Text({",f\0\1", 4}) + Int32(0),
                  "type tag string not padded with zero bytes"},
        Malformed{"UnknownTypeTag", kHeader + Text({",fT\0", 4}) + Int32(0), "unknown type tag 'T'"},
        Malformed{"UnprintableTypeTag", kHeader + Text({",\x7f\0\0", 4}), "unknown type tag byte 0x7f"},
        Malformed{"FloatTruncated", kHeader + kFloatTag + Datagram{0x3F, 0x40, 0}, "argument 1 ('f') truncated"},
        Malformed{"IntMissing", kHeader + Text({",fi\0", 4}) + Int32(0), "argument 2 ('i') truncated"},
        Malformed{"StringWithoutNul", kHeader + Text({",s\0\0", 4}) + Text("abcd"),
                  "argument 1 ('s') not terminated by a NUL byte"},
        Malformed{"StringPaddingNotZero", kHeader + Text({",s\0\0", 4}) + Text({"ab\0!", 4}),
                  "argument 1 ('s') not padded with zero bytes"},
        Malformed{"BlobLongerThanDatagram", kHeader + Text({",b\0\0", 4}) + Int32(16) + Int32(0),
                  "argument 1 ('b') declares 16 bytes, 4 left"},
        Malformed{"BlobNegativeSize", kHeader + Text({",b\0\0", 4}) + Int32(0xFFFFFFFC) + Int32(0),
                  "argument 1 ('b') has a negative size"},
        Malformed{"BlobPaddingNotZero", kHeader + Text({",b\0\0", 4}) + Int32(1) + Datagram{9, 0, 0, 1},
                  "argument 1 ('b') not padded with zero bytes"},
        Malformed{"BlobSizeCut", kHeader + Text({",b\0\0", 4}) + Datagram{0, 0}, "argument 1 ('b') size truncated"},
        Malformed{"TrailingBytes", kFader + Int32(0), "4 trailing bytes after the arguments"},
        Malformed{"BundleTimeTagCut", Text({"#bundle\0\0\0\0\0", 12}), "bundle time tag truncated"},
        Malformed{"BundleElementSizeCut", Bundle({}) + Datagram{0, 0}, "bundle element 1 size truncated"},
        Malformed{"BundleElementSizeZero", Bundle({}) + Int32(0),
                  "bundle element 1 has size 0, not a positive multiple of 4"},
        Malformed{"BundleElementSizeNegative", Bundle({}) + Int32(0xFFFFFFF8) + kFader,
                  "bundle element 1 has size -8, not a positive multiple of 4"},
        Malformed{"BundleElementSizeOdd", Bundle({}) + Int32(27) + kFader,
                  "bundle element 1 has size 27, not a positive multiple of 4"},
        Malformed{"BundleElementTooLong", Bundle({kFader}) + Int32(32) + kFader,
                  "bundle element 2 declares 32 bytes, 28 left"},
        Malformed{"BundleElementShorterThanItsMessage", Bundle({}) + Int32(24) + kFader,
                  "bundle element 1: argument 1 ('f') truncated"},
        Malformed{"NestedElementBroken", Bundle({kFader, Bundle({kFader, kHeader + Text({",f\0\1", 4}) + Int32(0)})}),
                  "bundle element 2: bundle element 2: type tag string not padded with zero bytes"}),
    [](const testing::TestParamInfo<Malformed>& info) { return info.param.name; });

TEST(OscDecoder, RejectsLargeJunkWithOneLineError)
{
    std::mt19937 random(20240611);
    Datagram junk(64 * 1024);
    for (std::uint8_t& byte : junk) {
        byte = static_cast<std::uint8_t>(random());
    }
    for (const Datagram& datagram : {junk, Datagram(64 * 1024, '/'), Text({"#bundle\0", 8}) + junk}) {
        const DecodeResult result = DecodeDatagram(datagram);
        EXPECT_FALSE(result.Ok());
        EXPECT_TRUE(result.messages.empty());
        EXPECT_EQ(result.error.find('\n'), std::string::npos) << result.error;
    }
    EXPECT_EQ(DecodeDatagram(Datagram(64 * 1024, '/')).error, "address not terminated by a NUL byte");
}

} // namespace
