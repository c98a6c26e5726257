#include "probe/echo_probe.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

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
    return trimTarget(text);
}

void EchoProbe::ping(const std::string& address) {
    const EchoTarget target = readTarget(address);
    std::optional<EchoDestination> destination = target.destination;
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
        if (!destination && target.needsLookUp) destination = resolve(target.text, onUi);
        lastRoundTripUs_ = 0;
        if (!destination) {
            if (onReply) onReply(this, -1, "0.0.0.0", 0, 0);
        } else if (destination->family == AF_INET6) {
            sockaddr_in6 to{};
            to.sin6_family = AF_INET6;
            to.sin6_addr = destination->address6;
            to.sin6_scope_id = destination->scope;
            EchoReply r = handle->sendEcho6(to, data, ttlValue, timeout, waiter);
            lastRoundTripUs_ = r.rttUs;
            if (onReply) onReply(this, r.status, r.responder6, r.rttMs, r.ttl);
        } else {
            EchoReply r = handle->sendEcho(destination->address, data, ttlValue, timeout, waiter);
            lastRoundTripUs_ = r.rttUs;
            if (onReply) onReply(this, r.status, dottedAddress(r.address), r.rttMs, r.ttl);
        }
        pause(onUi);
    }
}

std::optional<EchoDestination> EchoProbe::resolve(const std::string& name, bool onUi) {
    if (!onUi) return lookUpTarget(echo_, name);
    // A name server that never answers holds the look-up for the resolver's whole time-out: it
    // runs on a thread of its own while the events go on, and a pipe tells the wait it is done.
    int done[2];
    if (::pipe2(done, O_CLOEXEC | O_NONBLOCK) != 0) return lookUpTarget(echo_, name);
    std::optional<EchoDestination> result;
    std::thread lookup([&] {
        result = lookUpTarget(echo_, name);
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
