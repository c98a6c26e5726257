#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/wave_format.h"
#include "test_support.h"

namespace {

std::string Le(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string Chunk(const std::string& id, const std::string& body) {
    return id + Le(static_cast<uint32_t>(body.size()), 4) + body +
           std::string(body.size() % 2, '\0');
}

// A format chunk's body: format, channels, rate, byte rate, block align, bits (and the rest).
std::string Fmt(uint16_t format, uint16_t bits, uint16_t channels = 1,
                const std::string& rest = {}) {
    return Le(format, 2) + Le(channels, 2) + Le(22050, 4) + Le(22050 * bits / 8, 4) +
           Le(bits / 8, 2) + Le(bits, 2) + rest;
}

std::string Riff(const std::string& chunks) {
    return "RIFF" + Le(static_cast<uint32_t>(chunks.size() + 4), 4) + "WAVE" + chunks;
}

TEST(WaveFormat, PlayableFormatsAreToldFromTheRest) {
    EXPECT_TRUE(
        isPlayableWave(ReadFileBytes(PINGROVE_TEST_DATA "/../../resources/sounds/chimes.wav")));
    EXPECT_TRUE(
        isPlayableWave(ReadFileBytes(PINGROVE_TEST_DATA "/../../resources/sounds/offline.wav")));
    const std::string data = Chunk("data", std::string(8, '\0'));
    EXPECT_TRUE(isPlayableWave(Riff(Chunk("fmt ", Fmt(1, 24, 2)) + data)));
    EXPECT_TRUE(isPlayableWave(Riff(Chunk("fmt ", Fmt(3, 32)) + data)));
    // Tags (with an odd length, padded) before the format chunk, as some editors write them.
    EXPECT_TRUE(isPlayableWave(Riff(Chunk("LIST", "INFOabc") + Chunk("fmt ", Fmt(1, 16)) + data)));
    // The extensible form names PCM in its sub-format.
    const std::string extensible =
        Le(22, 2) + Le(16, 2) + Le(4, 4) + Le(1, 2) + std::string(14, '\0');
    EXPECT_TRUE(isPlayableWave(Riff(Chunk("fmt ", Fmt(0xFFFE, 16, 2, extensible)) + data)));

    EXPECT_FALSE(isPlayableWave(Riff(Chunk("fmt ", Fmt(2, 4)) + data)));  // ADPCM
    EXPECT_FALSE(isPlayableWave(Riff(Chunk("fmt ", Fmt(3, 64)) + data)));
    EXPECT_FALSE(isPlayableWave(Riff(Chunk("fmt ", Fmt(1, 16, 0)) + data)));
    EXPECT_FALSE(isPlayableWave(Riff(data + Chunk("fmt ", Fmt(1, 16)))));
    EXPECT_FALSE(isPlayableWave(Riff(Chunk("fmt ", Fmt(1, 16)).substr(0, 14))));
    EXPECT_FALSE(isPlayableWave("OggS\0\\2\0\0\0\0\0\0\0\0"));
    EXPECT_FALSE(isPlayableWave("RIFF"));
}

}  // namespace
