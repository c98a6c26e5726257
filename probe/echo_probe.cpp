#include "probe/echo_probe.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kNoAddress = 0xFFFFFFFFu;
constexpr size_t kMaxAddressLength = 255;

}  // namespace

EchoProbe::EchoProbe(IEchoService& echo, IEventPump& pump) : echo_(echo), pump_(pump) {
    std::string why;
    if (!echo_.isAvailable(&why)) {
        throw IcmpUnavailable(
            "必要なファイル ICMP.DLL が見つかりません。\n"
            "ICMP エコーのソケットを開けません（" +
            why +
            "）。"
            "sysctl net.ipv4.ping_group_range にユーザーのグループを含めるか、"
            "setcap cap_net_raw+ep で実行ファイルに権限を与えてください。");
    }
}

std::string EchoProbe::trim(const std::string& text) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    size_t b = 0, e = text.size();
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    return text.substr(b, e - b);
}

void EchoProbe::ping(const std::string& address) {
    const std::string target = trim(address);
    // An over-long text can be neither an address nor a host name.
    const bool tooLong = target.size() > kMaxAddressLength;
    uint32_t destination = tooLong ? kNoAddress : classicInetAddr(target);
    // An IPv6 address is probed with ICMPv6; a name with IPv4 addresses as ever, one with only
    // IPv6 addresses at its first.
    std::optional<sockaddr_in6> destination6 =
        tooLong || destination != kNoAddress ? std::nullopt : numericIpv6(target);
    bool resolved = destination != kNoAddress || destination6;
    const uint8_t ttlValue = ttl;
    const int timeout = timeoutMs;
    const size_t size = static_cast<size_t>(std::clamp(blockSize, 0, 65535));

    std::unique_ptr<IEchoHandle> handle = echo_.open();
    const std::vector<uint8_t> data(size, 0xA7);
    const int count = attempts;
    if (count <= 0) return;
    const bool onUi = pump_.onUiThread();
    // The worker thread of a select scan simply blocks; the UI thread keeps its events running.
    IEventPump* waiter = onUi ? &pump_ : nullptr;

    for (int k = 0; k < count; ++k) {
        if (onUi) pump_.processEvents();
        if (!resolved && !tooLong) {
            const Resolved a = resolve(target, onUi);
            if (a.v4) destination = *a.v4;
            destination6 = a.v6;
            resolved = a.v4 || a.v6;
        }
        lastRoundTripUs_ = 0;
        if (!resolved) {
            if (onReply) onReply(this, -1, "0.0.0.0", 0, 0);
        } else if (destination6) {
            EchoReply r = handle->sendEcho6(*destination6, data, ttlValue, timeout, waiter);
            lastRoundTripUs_ = r.rttUs;
            if (onReply) onReply(this, r.status, r.responder6, r.rttMs, r.ttl);
        } else {
            EchoReply r = handle->sendEcho(destination, data, ttlValue, timeout, waiter);
            lastRoundTripUs_ = r.rttUs;
            if (onReply) onReply(this, r.status, dottedAddress(r.address), r.rttMs, r.ttl);
        }
        pause(onUi);
    }
}

EchoProbe::Resolved EchoProbe::lookUp(const std::string& name) {
    Resolved r;
    r.v4 = echo_.resolve(name);
    if (!r.v4) r.v6 = echo_.resolve6(name);
    return r;
}

EchoProbe::Resolved EchoProbe::resolve(const std::string& name, bool onUi) {
    if (!onUi) return lookUp(name);
    // A name server that never answers holds the look-up for the resolver's whole time-out: it
    // runs on a thread of its own while the events go on, and a pipe tells the wait it is done.
    int done[2];
    if (::pipe2(done, O_CLOEXEC | O_NONBLOCK) != 0) return lookUp(name);
    Resolved result;
    std::thread lookup([&] {
        result = lookUp(name);
        const char byte = 1;
        (void)!::write(done[1], &byte, 1);
    });
    while (!pump_.waitReadable(done[0], IEventPump::Clock::now() + std::chrono::hours(1))) {
    }
    lookup.join();
    ::close(done[0]);
    ::close(done[1]);
    return result;
}

void EchoProbe::pause(bool onUi) {
    if (delayMs <= 0) return;
    const auto end = IEventPump::Clock::now() + std::chrono::milliseconds(delayMs);
    if (onUi) {
        pump_.waitReadable(-1, end);
    } else {
        std::this_thread::sleep_until(end);
    }
}
