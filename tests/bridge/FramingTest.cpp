#include "automation/bridge/Framing.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

using namespace automation::bridge;

namespace {

std::string header(std::uint32_t length)
{
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &length, 4);
    return bytes;
}

// Everything a reader gives for a stream fed in the given pieces.
std::vector<std::string> readAll(const std::string& stream, std::size_t limit,
                                 const std::vector<std::size_t>& cuts,
                                 std::size_t* skipped = nullptr)
{
    FrameReader reader(limit);
    std::vector<std::string> messages;
    std::size_t at = 0;
    for (std::size_t cut : cuts) {
        reader.feed(std::string_view(stream).substr(at, cut - at));
        at = cut;
        while (auto message = reader.next())
            messages.push_back(*message);
    }
    reader.feed(std::string_view(stream).substr(at));
    while (auto message = reader.next())
        messages.push_back(*message);
    if (skipped)
        *skipped = reader.skipped();
    return messages;
}

} // namespace

TEST(Framing, HeadersAreReadAgainstTheLimit)
{
    EXPECT_EQ(parseFrame("", 100).kind, FrameParse::Kind::NeedMore);
    EXPECT_EQ(parseFrame(header(5).substr(0, 3), 100).kind, FrameParse::Kind::NeedMore);
    EXPECT_EQ(parseFrame(header(0), 100).kind, FrameParse::Kind::Empty);
    EXPECT_EQ(parseFrame(header(5) + "abcd", 100).kind, FrameParse::Kind::NeedMore);
    const auto whole = parseFrame(header(5) + "abcdeXYZ", 100);
    EXPECT_EQ(whole.kind, FrameParse::Kind::Message);
    EXPECT_EQ(whole.length, 5u);
    EXPECT_EQ(parseFrame(header(100) + std::string(100, 'x'), 100).kind, FrameParse::Kind::Message);
    EXPECT_EQ(parseFrame(header(101), 100).kind, FrameParse::Kind::Oversized);
    // The largest length a header can carry, on the tightest limit there is.
    EXPECT_EQ(parseFrame(header(UINT32_MAX), kMaxToBrowser).kind, FrameParse::Kind::Oversized);
    EXPECT_EQ(kMaxFromBrowser, 64u << 20);
    EXPECT_EQ(kMaxToBrowser, 1u << 20);
}

TEST(Framing, EncodingRefusesWhatTheOtherEndWouldRefuse)
{
    EXPECT_FALSE(encodeFrame("", 100));
    EXPECT_FALSE(encodeFrame(std::string(101, 'x'), 100));
    const auto frame = encodeFrame(R"({"type":"hello"})", 100);
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, header(16) + R"({"type":"hello"})");
}

TEST(Framing, MessagesComeWholeHoweverTheStreamIsCut)
{
    const std::string stream = *encodeFrame("{\"a\":1}", 100) + *encodeFrame("[\"日本\"]", 100) +
                               *encodeFrame(std::string(300, 'z'), 1000);
    const std::vector<std::string> expected = {"{\"a\":1}", "[\"日本\"]", std::string(300, 'z')};
    for (std::size_t cut = 0; cut <= stream.size(); ++cut)
        EXPECT_EQ(readAll(stream, 1000, {cut}), expected) << cut;
    std::vector<std::size_t> everyByte;
    for (std::size_t i = 1; i < stream.size(); ++i)
        everyByte.push_back(i);
    EXPECT_EQ(readAll(stream, 1000, everyByte), expected);
}

TEST(Framing, EmptyAndOversizedFramesAreSkippedAndTheStreamGoesOn)
{
    const std::string stream = header(0) + *encodeFrame("first", 10) + header(50) +
                               std::string(50, 'o') + *encodeFrame("second", 10) + header(0);
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        std::size_t skipped = 0;
        EXPECT_EQ(readAll(stream, 10, {cut}, &skipped),
                  (std::vector<std::string>{"first", "second"}))
            << cut;
        EXPECT_EQ(skipped, 3u) << cut;
    }
    // A frame announced as huge keeps no bytes while it is skipped.
    FrameReader reader(10);
    reader.feed(header(UINT32_MAX));
    EXPECT_FALSE(reader.next());
    for (int i = 0; i < 100; ++i) {
        reader.feed(std::string(65536, 'g'));
        EXPECT_FALSE(reader.next());
        EXPECT_EQ(reader.pending(), 0u);
    }
}

// Random bytes, cut at random: the reader never fails, and gives the same messages
// and the same count of skipped frames whatever the cuts.
TEST(Framing, GarbageGivesTheSameAnswerHoweverItArrives)
{
    std::mt19937 random(20260901);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 300; ++round) {
        std::string stream;
        const int pieces = round % 7 + 1;
        for (int p = 0; p < pieces; ++p) {
            // Small lengths now and then, so some garbage parses as messages.
            if (random() % 3 == 0) {
                const auto length = static_cast<std::uint32_t>(random() % 40);
                stream += header(length);
            }
            const int size = static_cast<int>(random() % 64);
            for (int i = 0; i < size; ++i)
                stream.push_back(static_cast<char>(byte(random)));
        }
        std::size_t skippedWhole = 0;
        const auto whole = readAll(stream, 32, {}, &skippedWhole);
        std::vector<std::size_t> cuts;
        for (std::size_t at = 0; at < stream.size(); at += random() % 9 + 1)
            cuts.push_back(at);
        std::size_t skippedCut = 0;
        EXPECT_EQ(readAll(stream, 32, cuts, &skippedCut), whole) << round;
        EXPECT_EQ(skippedCut, skippedWhole) << round;
        for (const auto& message : whole) {
            EXPECT_FALSE(message.empty());
            EXPECT_LE(message.size(), 32u);
        }
    }
}
