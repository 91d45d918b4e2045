// SPDX-License-Identifier: MIT
// One port, one panel: the hold while port output is on, and a FIFO stand-in that cannot
// take the byte, which must fail the cycle rather than stop the panel.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "output/PanelLock.h"
#include "output/PortDevice.h"
#include "output/PortNode.h"
#include "output/PortWriter.h"
#include "output/PpdevDevice.h"
#include "output/QuietPipeWrite.h"
#include "support/CycleCode.h"
#include "support/linux/TempDir.h"

namespace pio {

namespace {

// A FIFO with a reader that keeps it open (and never reads: a few bytes fit).
class ReadFifo final {
public:
    explicit ReadFifo(const TempDir& dir, const char* name = "parport0") : path_(dir / name) {
        if (mkfifo(path_.c_str(), 0600) == 0)
            reader_ = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ~ReadFifo() {
        if (reader_ >= 0) close(reader_);
    }
    ReadFifo(const ReadFifo&) = delete;
    ReadFifo& operator=(const ReadFifo&) = delete;
    bool ok() const { return reader_ >= 0; }
    const std::string& path() const { return path_; }
    int reader() const { return reader_; }

private:
    std::string path_;
    int reader_ = -1;
};

TEST(PortHold, OnePanelHoldsThePortUntilItLetsGo) {
    TempDir dir, locks;
    ReadFifo port(dir);
    ASSERT_TRUE(locks.ok() && port.ok());
    PpdevDevice first(port.path(), locks.path()), second(port.path(), locks.path());
    PortWriter firstWriter(first), secondWriter(second);
    EXPECT_EQ(CycleCode(firstWriter, 4), 0);
    EXPECT_EQ(CycleCode(firstWriter, 4), 0) << "holding it already is no refusal";
    std::string message;
    EXPECT_EQ(CycleCode(secondWriter, 8, &message), kPortHeldByAnotherPanel);
    EXPECT_EQ(message, "Der Port wird von einem anderen Panel benutzt");
    firstWriter.release();
    EXPECT_EQ(CycleCode(secondWriter, 8), 0);
    EXPECT_EQ(CycleCode(firstWriter, 4), kPortHeldByAnotherPanel);
}

TEST(PortHold, TheHoldEndsWithAProgramThatIsKilled) {
    TempDir dir, locks;
    ReadFifo port(dir);
    ASSERT_TRUE(locks.ok() && port.ok());
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        PpdevDevice device(port.path(), locks.path());
        const char ok = device.hold() == 0 ? 'y' : 'n';
        if (write(ready[1], &ok, 1) != 1) _exit(1);
        for (;;) pause();  // holds the port until killed
    }
    close(ready[1]);
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    close(ready[0]);
    EXPECT_EQ(ok, 'y');
    PpdevDevice device(port.path(), locks.path());
    EXPECT_EQ(device.hold(), kPortHeldByAnotherPanel);
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(device.hold(), 0);
}

TEST(PortHold, AReplacedStandInIsHeldAfresh) {
    TempDir dir, locks;
    ASSERT_TRUE(locks.ok());
    auto port = std::make_unique<ReadFifo>(dir);
    ASSERT_TRUE(port->ok());
    PpdevDevice first(port->path(), locks.path()), second(port->path(), locks.path());
    ASSERT_EQ(first.hold(), 0);
    ASSERT_EQ(unlink(port->path().c_str()), 0);
    EXPECT_EQ(first.hold(), 2) << "the port is gone";
    port = std::make_unique<ReadFifo>(dir);  // a new FIFO at the same path
    ASSERT_TRUE(port->ok());
    EXPECT_EQ(second.hold(), 0) << "the old hold guards nothing";
    EXPECT_EQ(first.hold(), kPortHeldByAnotherPanel);
}

// Two nodes of one device are one port; two ports are two.
TEST(PortHold, IsPerDeviceNotPerNode) {
    struct stat a = {}, b = {}, other = {};
    a.st_mode = b.st_mode = other.st_mode = S_IFCHR | 0660;
    a.st_rdev = b.st_rdev = makedev(99, 0);
    a.st_ino = 17;
    b.st_ino = 4711;  // another node, maybe in another /dev
    other.st_rdev = makedev(99, 1);
    EXPECT_EQ(PortHoldKey(a), PortHoldKey(b));
    EXPECT_NE(PortHoldKey(a), PortHoldKey(other));

    TempDir locks;
    ASSERT_TRUE(locks.ok());
    PanelLock first(locks.path()), second(locks.path());
    EXPECT_EQ(first.Take(PortHoldKey(a)), 0);
    EXPECT_EQ(second.Take(PortHoldKey(b)), kPortHeldByAnotherPanel);
    EXPECT_EQ(second.Take(PortHoldKey(other)), 0);
}

TEST(PanelLock, FilesServeEveryUserAndFollowNoLink) {
    TempDir locks;
    ASSERT_TRUE(locks.ok());
    const mode_t oldMask = umask(077);
    PanelLock lock(locks.path());
    EXPECT_EQ(lock.Take("c99.0"), 0);
    umask(oldMask);
    struct stat st = {};
    ASSERT_EQ(stat((locks / "pio-out-port-c99.0.lock").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u) << "another user's panel must be able to open it";

    // A link planted where a lock file would go is neither created through nor locked.
    const std::string victim = locks / "victim";
    ASSERT_EQ(close(open(victim.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600)), 0);
    ASSERT_EQ(symlink(victim.c_str(), (locks / "pio-out-port-c99.1.lock").c_str()), 0);
    EXPECT_NE(lock.Take("c99.1"), 0);
    const int probe = open(victim.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(flock(probe, LOCK_EX | LOCK_NB), 0) << "the victim file was locked";
    close(probe);
}

// Runs `cycle` in a child and waits for it with a deadline only a hang reaches; returns its
// exit code, or -1 when it had to be killed.
template <typename Cycle>
int RunWithoutHanging(Cycle cycle) {
    const pid_t child = fork();
    if (child == 0) _exit(cycle());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

TEST(FifoStandIn, NobodyReadingIsNotReadyAtOnce) {
    TempDir dir, locks;
    ASSERT_TRUE(locks.ok());
    const std::string path = dir / "parport0";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const int code = RunWithoutHanging([&] {
        PpdevDevice device(path, locks.path());
        PortWriter writer(device);
        std::string message;
        const int c = CycleCode(writer, 1, &message);
        return c == 21 && message == "I/O-Fehler 21" ? 0 : 100 + c % 100;
    });
    EXPECT_EQ(code, 0) << "-1: the cycle hung; 100 + n: it gave code n";
}

TEST(FifoStandIn, AFullPipeIsNotReadyAndTheNextByteFollowsOnceRead) {
    TempDir dir, locks;
    ReadFifo port(dir);
    ASSERT_TRUE(locks.ok() && port.ok());
    // Fill the pipe to the brim, as a reader that stopped reading leaves it.
    const int filler = open(port.path().c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(filler, 0);
    const char junk[4096] = {};
    while (write(filler, junk, sizeof junk) > 0) {
    }
    while (write(filler, junk, 1) > 0) {
    }
    close(filler);
    const int code = RunWithoutHanging([&] {
        PpdevDevice device(port.path(), locks.path());
        PortWriter writer(device);
        return CycleCode(writer, 1);
    });
    EXPECT_EQ(code, 21) << "-1 means the cycle hung on the full pipe";

    char drain[65536];
    while (read(port.reader(), drain, sizeof drain) > 0) {
    }
    PpdevDevice device(port.path(), locks.path());
    PortWriter writer(device);
    EXPECT_EQ(CycleCode(writer, 1), 0);
    unsigned char got = 0;
    EXPECT_EQ(read(port.reader(), &got, 1), 1);
    EXPECT_EQ(got, 4);
}

TEST(QuietPipeWrite, AReaderThatLeftIsAnErrorNotTheEndOfTheProgram) {
    // SIGPIPE's default action ends the process: this test only survives if the write keeps it.
    struct sigaction dfl = {}, old = {};
    dfl.sa_handler = SIG_DFL;
    ASSERT_EQ(sigaction(SIGPIPE, &dfl, &old), 0);
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    const char byte = 1;
    errno = 0;
    EXPECT_EQ(QuietPipeWrite(ends[1], &byte, 1), -1);
    EXPECT_EQ(errno, EPIPE);
    sigset_t pending;
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0) << "the signal is left pending";
    close(ends[1]);
    sigaction(SIGPIPE, &old, nullptr);
}

}  // namespace

}  // namespace pio
