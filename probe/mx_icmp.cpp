#include "probe/mx_icmp.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kNoAddress = 0xFFFFFFFFu;
constexpr size_t kMaxAddressLength = 255;

}  // namespace

TMxICMP::TMxICMP(IEchoService& echo, IEventPump& pump) : echo_(echo), pump_(pump) {
    std::string why;
    if (!echo_.Available(&why)) {
        throw EICMPError(
            "必要なファイル ICMP.DLL が見つかりません。\n"
            "ICMP エコーのソケットを開けません（" +
            why +
            "）。"
            "sysctl net.ipv4.ping_group_range にユーザーのグループを含めるか、"
            "setcap cap_net_raw+ep で実行ファイルに権限を与えてください。");
    }
}

std::string TMxICMP::Trim(const std::string& text) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    size_t b = 0, e = text.size();
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    return text.substr(b, e - b);
}

void TMxICMP::Ping() {
    const std::string address = Trim(Address);
    // An over-long text can be neither an address nor a host name.
    const bool tooLong = address.size() > kMaxAddressLength;
    uint32_t destination = tooLong ? kNoAddress : ClassicInetAddr(address);
    bool resolved = destination != kNoAddress;
    const uint8_t ttl = TTL;
    const int timeout = Timeout;
    const size_t size = static_cast<size_t>(std::clamp(BlockSize, 0, 65535));

    std::unique_ptr<IEchoHandle> handle = echo_.Open();
    const std::vector<uint8_t> data(size, 0xA7);
    const int attempts = NumberOfPings;
    if (attempts <= 0) return;
    const bool onUi = pump_.OnUiThread();
    std::function<void()> idle;
    if (onUi) idle = [this] { pump_.ProcessEvents(); };

    for (int k = 0; k < attempts; ++k) {
        if (onUi) pump_.ProcessEvents();
        if (!resolved && !tooLong) {
            if (auto a = echo_.Resolve(address)) {
                destination = *a;
                resolved = true;
            }
        }
        if (!resolved) {
            if (OnReply) OnReply(this, -1, "0.0.0.0", 0, 0);
        } else {
            EchoReply r = handle->Send(destination, data, ttl, timeout, idle);
            if (OnReply) OnReply(this, r.status, DottedAddress(r.address), r.rttMs, r.ttl);
        }
        Pause(onUi);
    }
}

void TMxICMP::Pause(bool onUi) {
    if (Delay <= 0) return;
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(Delay);
    for (;;) {
        if (onUi) pump_.ProcessEvents();
        // Measured after the events ran, so the pause does not outlast Delay by their time.
        const auto left = end - Clock::now();
        if (left <= Clock::duration::zero()) return;
        std::this_thread::sleep_for(std::min<Clock::duration>(left, std::chrono::milliseconds(10)));
    }
}
