#include "fakes.h"

#include <chrono>
#include <thread>

class FakeEchoHandle : public IEchoHandle {
public:
    explicit FakeEchoHandle(FakeEchoService& s) : s_(s) { ++s_.opened; }
    ~FakeEchoHandle() override { ++s_.closed; }
    EchoReply sendEcho(uint32_t destination, const std::vector<uint8_t>&, uint8_t ttl,
                       int timeoutMs, IEventPump* waiter) override {
        ++s_.sends;
        const std::string dotted = dottedAddress(destination);
        FakeEchoService::Outcome o;
        bool known;
        {
            std::lock_guard<std::mutex> l(s_.mutex_);
            if (!s_.broken_.empty()) return EchoReply{};
            s_.sent_.push_back(dotted);
            auto it = s_.outcomes_.find(dotted);
            known = it != s_.outcomes_.end();
            if (known) o = it->second;
        }
        int wait = known ? o.delayMs : std::min(timeoutMs, 20);
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait);
        if (waiter) {
            waiter->waitReadable(-1, end);
        } else {
            std::this_thread::sleep_until(end);
        }
        EchoReply r;
        if (!known) {
            r.status = ipstatus::kRequestTimedOut;
            return r;
        }
        r.status = o.status;
        r.address = classicInetAddr(o.from.empty() ? dotted : o.from);
        r.rttUs = o.rttUs >= 0 ? o.rttUs : o.delayMs * 1000;
        r.rttMs = r.rttUs / 1000;
        r.ttl = ttl;
        return r;
    }

private:
    FakeEchoService& s_;
};

bool FakeEchoService::isAvailable(std::string* why) {
    if (!available && why) *why = "Operation not permitted";
    return available;
}

std::unique_ptr<IEchoHandle> FakeEchoService::open() {
    return std::make_unique<FakeEchoHandle>(*this);
}

std::optional<uint32_t> FakeEchoService::resolve(const std::string& name) {
    ++lookups;
    std::lock_guard<std::mutex> l(mutex_);
    auto it = names_.find(name);
    if (it == names_.end()) return std::nullopt;
    return classicInetAddr(it->second);
}
