#pragma once
// The slow host of the test network (tests/netns_run.sh) made to answer, after a set delay, the
// echo requests that reach it: bench/slow_responder.py in the host's namespace.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

inline const char* Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// Answers the echo requests that reach the slow host after `ms`, for as long as it lives. Ready
// when it says so (its socket is open), however long a busy machine takes to start it.
class SlowResponder {
public:
    explicit SlowResponder(int ms) {
        const std::string script = std::string(PINGROVE_SOURCE_DIR) + "/bench/slow_responder.py";
        const std::string delay = std::to_string(ms);
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(ready[1], STDOUT_FILENO);
            ::execlp("ip", "ip", "netns", "exec", Env("PINGROVE_NETNS_SLOW"), "/usr/bin/python3",
                     script.c_str(), delay.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(ready[1]);
        // Its output stays open as long as it lives: a write to a closed pipe would end it.
        output_ = ready[0];
        pollfd p{output_, POLLIN, 0};
        char line[16] = {};
        ready_ = ::poll(&p, 1, 30000) == 1 && ::read(output_, line, sizeof line - 1) > 0 &&
                 std::string(line).rfind("ready", 0) == 0;
        EXPECT_TRUE(ready_) << "the responder did not start";
    }
    ~SlowResponder() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        ::close(output_);
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
    bool ready_ = false;
};
