#include "platform/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
// The handler can reach nothing but a plain variable: the pipe's writing end.
volatile sig_atomic_t g_writeEnd = -1;

void OnSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    if (g_writeEnd >= 0 && ::write(g_writeEnd, &byte, 1) < 0) {
        // A full pipe already holds a request to end: nothing is lost.
    }
    errno = saved;
}

sigset_t TerminationSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kSignals) sigaddset(&set, s);
    return set;
}

}  // namespace

void holdTerminationSignals() {
    const sigset_t set = TerminationSet();
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
}

void releaseTerminationSignals() {
    const sigset_t set = TerminationSet();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;
    g_writeEnd = pipe_[1];
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        int last = 0;
        while (::read(pipe_[0], &byte, 1) == 1) last = byte;
        if (last) emit received(last);
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals) ::sigaction(s, &action, nullptr);
    releaseTerminationSignals();
}

TerminationSignals::~TerminationSignals() {
    for (int s : kSignals) ::signal(s, SIG_DFL);
    g_writeEnd = -1;
    for (int fd : pipe_)
        if (fd >= 0) ::close(fd);
}
