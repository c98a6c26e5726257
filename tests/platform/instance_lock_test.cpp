#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/instance_lock.h"
#include "test_support.h"

namespace {

class InstanceLock : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1); }
    TempDir dir;
};

// The lock is per process: another process (a child here) holds it or sees it held.
pid_t ChildHoldingLock(int readyFd) {
    pid_t pid = fork();
    if (pid == 0) {
        FileInstanceLock lock("pingrove");
        char ok = lock.TryAcquire() ? 'y' : 'n';
        (void)!write(readyFd, &ok, 1);
        pause();
        _exit(0);
    }
    return pid;
}

bool ChildCanAcquire() {
    pid_t pid = fork();
    if (pid == 0) {
        FileInstanceLock lock("pingrove");
        _exit(lock.TryAcquire() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(InstanceLock, LivesInTheRuntimeFolder) {
    FileInstanceLock lock("pingrove");
    EXPECT_EQ(lock.Path(), dir.Path("pingrove.lock"));
}

TEST_F(InstanceLock, SecondHolderIsRefusedAndReleaseFreesIt) {
    FileInstanceLock first("pingrove");
    ASSERT_TRUE(first.TryAcquire());
    EXPECT_FALSE(ChildCanAcquire());
    first.Release();
    EXPECT_TRUE(ChildCanAcquire());
}

TEST_F(InstanceLock, AKilledHolderDoesNotBlockTheNextStart) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t holder = ChildHoldingLock(fds[1]);
    char ok = 0;
    ASSERT_EQ(read(fds[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    FileInstanceLock me("pingrove");
    EXPECT_FALSE(me.TryAcquire());
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_TRUE(me.TryAcquire());
    close(fds[0]);
    close(fds[1]);
}

}  // namespace
