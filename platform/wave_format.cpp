#include "platform/wave_format.h"

#include <cstdint>

namespace {

uint32_t Le32(std::string_view b, size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

uint16_t Le16(std::string_view b, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                                 static_cast<unsigned char>(b[at + 1]) << 8);
}

constexpr uint16_t kPcm = 1;
constexpr uint16_t kFloat = 3;
constexpr uint16_t kExtensible = 0xFFFE;

bool PlayableFormat(std::string_view fmt) {
    if (fmt.size() < 16) return false;
    uint16_t format = Le16(fmt, 0);
    const uint16_t channels = Le16(fmt, 2);
    const uint32_t rate = Le32(fmt, 4);
    const uint16_t bits = Le16(fmt, 14);
    // The extensible form names the real format in the first two bytes of its sub-format.
    if (format == kExtensible) format = fmt.size() >= 26 ? Le16(fmt, 24) : 0;
    if (channels == 0 || rate == 0) return false;
    if (format == kFloat) return bits == 32;
    return format == kPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

}  // namespace

bool isPlayableWave(std::string_view head) {
    if (head.size() < 12 || head.substr(0, 4) != "RIFF" || head.substr(8, 4) != "WAVE")
        return false;
    // Chunks follow one another, each padded to an even length; the format chunk comes before the
    // samples, usually first, sometimes after a list of tags.
    for (size_t at = 12; at + 8 <= head.size();) {
        const uint32_t size = Le32(head, at + 4);
        if (head.substr(at, 4) == "fmt ")
            return PlayableFormat(
                head.substr(at + 8, std::min<size_t>(size, head.size() - at - 8)));
        if (head.substr(at, 4) == "data") return false;  // samples of no known format
        at += 8 + static_cast<size_t>(size) + (size & 1);
    }
    return false;
}
