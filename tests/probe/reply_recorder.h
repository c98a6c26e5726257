#pragma once
// Records what a probe reports, reply by reply, for the probe tests.
#include <string>
#include <vector>

#include "probe/echo_probe.h"

struct Reply {
    int status;
    std::string ip;
    int rtt;
    int ttl;
    int rttUs = 0;
};

class ReplyRecorder {
public:
    // Becomes the probe's handler; the recorder must outlive the probe's pings.
    void listenTo(EchoProbe& p) {
        p.onReply = [this](EchoProbe* sender, int s, const std::string& ip, int rtt, uint8_t ttl) {
            replies.push_back({s, ip, rtt, ttl, sender->lastRoundTripUs()});
        };
    }
    std::vector<int> statuses() const {
        std::vector<int> s;
        for (const Reply& r : replies) s.push_back(r.status);
        return s;
    }
    std::vector<Reply> replies;
};
