// SPDX-License-Identifier: MIT
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <csignal>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "output/EInOutError.h"
#include "output/PortByte.h"
#include "output/PortWriter.h"
#include "support/CycleCode.h"
#include "output/PpdevDevice.h"

namespace {

namespace fs = std::filesystem;

// PortByte never yields it (bits 0 and 1 are always clear), so it can end a byte stream.
constexpr std::uint8_t kEndOfStream = 0xFF;
constexpr int kCycles = 100000;

// The word for cycle i: walks through all 128 words, in an order unlike 0,1,2... so a
// dropped or repeated byte cannot line up with its neighbour by accident.
std::int32_t WordFor(int i) {
    return (i * 37 + i / 128) % 128;
}

int OpenFdCount() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
    return count;
}

// Runs one cycle; the EInOutError code, or 0 for success.
int CycleCode(const std::string& path, std::int32_t word, std::string* message = nullptr) {
    PpdevDevice device(path);
    PortWriter writer(device);
    return CycleCode(writer, word, message);
}

class TempDir final {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "pio-port-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool ok() const { return !path_.empty(); }
    std::string operator/(const char* name) const { return (fs::path(path_) / name).string(); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Reads `fd` on its own thread until kEndOfStream and keeps every byte before it.
class Collector final {
public:
    explicit Collector(int fd) : thread_([this, fd] { run(fd); }) {}
    ~Collector() {
        if (thread_.joinable()) thread_.join();
    }
    Collector(const Collector&) = delete;
    Collector& operator=(const Collector&) = delete;

    const std::vector<std::uint8_t>& join() {
        thread_.join();
        return bytes_;
    }

private:
    void run(int fd) {
        std::uint8_t buffer[4096];
        for (;;) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] == kEndOfStream) return;
                bytes_.push_back(buffer[i]);
            }
        }
    }

    std::vector<std::uint8_t> bytes_;
    std::thread thread_;
};

// Runs `cycles` cycles to `path` while `readFd` is drained, then ends the stream through
// `endFd` and checks that every byte arrived, in order.
void ExpectStreamArrives(const std::string& path, int readFd, int endFd, int cycles) {
    std::vector<std::uint8_t> expected;
    expected.reserve(cycles);
    Collector collector(readFd);
    {
        PpdevDevice device(path);
        PortWriter writer(device);
        for (int i = 0; i < cycles; ++i) {
            try {
                writer.write(WordFor(i));
            } catch (const EInOutError& e) {
                ADD_FAILURE() << "cycle " << i << ": " << e.what();
                break;
            }
            expected.push_back(PortByte(WordFor(i)));
        }
    }
    ASSERT_EQ(write(endFd, &kEndOfStream, 1), 1);
    const std::vector<std::uint8_t>& got = collector.join();
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected) << "bytes arrived out of order";
}

TEST(PpdevDevice, FifoGetsEveryByteInOrderAndNoDescriptorLeaks) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string fifo = dir / "port";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

    const int before = OpenFdCount();
    // Read/write so the FIFO keeps a writer between cycles: read() blocks instead of
    // returning end-of-file whenever the device has just closed.
    const int readFd = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(readFd, 0);
    ExpectStreamArrives(fifo, readFd, readFd, kCycles);
    close(readFd);
    EXPECT_EQ(OpenFdCount(), before);
}

TEST(PpdevDevice, RegularFileHoldsEachCyclesByteAndNoDescriptorLeaks) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string file = dir / "port";
    const int readFd = open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(readFd, 0);

    const int before = OpenFdCount();
    PpdevDevice device(file);
    PortWriter writer(device);
    for (int i = 0; i < kCycles; ++i) {
        writer.write(WordFor(i));
        // Each cycle writes at the start of the file, so it holds the current byte only.
        std::uint8_t got[2] = {};
        ASSERT_EQ(pread(readFd, got, sizeof got, 0), 1) << "cycle " << i;
        ASSERT_EQ(got[0], PortByte(WordFor(i))) << "cycle " << i;
    }
    EXPECT_EQ(OpenFdCount(), before + 1);  // the claim on the port, while output is on
    writer.release();
    EXPECT_EQ(OpenFdCount(), before);
    close(readFd);
}

TEST(PpdevDevice, PtyGetsEveryByteInOrder) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave = ptsname(master);
    // Held open so the pty does not hang up each time the device closes its side, and
    // switched to raw so the terminal passes the bytes through unchanged.
    const int slaveFd = open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(slaveFd, 0);
    termios raw{};
    ASSERT_EQ(tcgetattr(slaveFd, &raw), 0);
    cfmakeraw(&raw);
    ASSERT_EQ(tcsetattr(slaveFd, TCSANOW, &raw), 0);

    const int before = OpenFdCount();
    ExpectStreamArrives(slave, master, slaveFd, 10000);
    EXPECT_EQ(OpenFdCount(), before);
    close(slaveFd);
    close(master);
}

TEST(PpdevDevice, MissingPathIsFileNotFound) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir / "parport0";
    const int before = OpenFdCount();
    std::string message;
    EXPECT_EQ(CycleCode(path, 1, &message), 2);
    EXPECT_EQ(message, "Datei nicht gefunden");
    EXPECT_FALSE(fs::exists(path)) << "the device must never be created";
    EXPECT_EQ(OpenFdCount(), before);
}

TEST(PpdevDevice, DeviceNodeWithoutDriverIsFileNotFound) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    struct statvfs vfs {};
    if (statvfs(dir.path().c_str(), &vfs) != 0 || (vfs.f_flag & ST_NODEV) != 0) {
        GTEST_SKIP() << "device nodes are not honoured on " << dir.path();
    }
    // Major 240 lies in the range set aside for local use; no driver claims it here.
    const std::string node = dir / "parport0";
    if (mknod(node.c_str(), S_IFCHR | 0600, makedev(240, 0)) != 0) {
        GTEST_SKIP() << "cannot create a device node (not root?)";
    }
    std::string message;
    EXPECT_EQ(CycleCode(node, 1, &message), 2);
    EXPECT_EQ(message, "Datei nicht gefunden");
}

TEST(PpdevDevice, NodeWithoutPermissionIsAccessDenied) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir / "parport0";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    close(fd);

    if (geteuid() != 0) {
        ASSERT_EQ(chmod(path.c_str(), 0), 0);
        std::string message;
        EXPECT_EQ(CycleCode(path, 1, &message), 5);
        EXPECT_EQ(message, "Dateizugriff verweigert");
        return;
    }
    // Root is never refused, so run the cycle in a child that has become nobody.
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    constexpr int kCannotDrop = 200;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(kCannotDrop);
        }
        std::string message;
        const int code = CycleCode(path, 1, &message);
        _exit(code == 5 && message == "Dateizugriff verweigert" ? 5 : 100 + code % 100);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kCannotDrop) GTEST_SKIP() << "cannot drop root privileges";
    EXPECT_EQ(WEXITSTATUS(status), 5) << "100 + code means the cycle gave that other code";
}

TEST(PpdevDevice, NullDeviceTakesTheByteThroughWrite) {
    const int before = OpenFdCount();
    EXPECT_EQ(CycleCode("/dev/null", 127), 0);
    EXPECT_EQ(OpenFdCount(), before);
}

TEST(PpdevDevice, FailedWriteIsReportedAndTheDeviceClosed) {
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    const int before = OpenFdCount();
    std::string message;
    EXPECT_EQ(CycleCode("/dev/full", 1, &message), 28);  // ENOSPC
    EXPECT_EQ(message, "I/O-Fehler 28");
    EXPECT_EQ(OpenFdCount(), before);
}

TEST(PpdevDevice, DirectoryIsAGeneralIoError) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    EXPECT_EQ(CycleCode(dir.path(), 1), 1117);  // EISDIR
}

TEST(PpdevDevice, WriteAndCloseWithoutOpenDoNothing) {
    PpdevDevice device("/dev/null");
    int written = 0;
    EXPECT_NE(device.write(4, written), 0);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(device.close(), 0);
}

TEST(PpdevDevice, DefaultPathIsTheFirstParallelPort) {
    EXPECT_EQ(PpdevDevice().path(), "/dev/parport0");
}

}  // namespace

// A file to claim, and a way to make an empty file at a path.
std::string NewPortFile(const TempDir& dir) {
    const std::string path = dir / "parport0";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) close(fd);
    return path;
}

TEST(PpdevDeviceHold, OnePanelHoldsThePortUntilItLetsGo) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = NewPortFile(dir);
    PpdevDevice first(path), second(path);
    PortWriter firstWriter(first), secondWriter(second);
    firstWriter.write(4);
    firstWriter.write(4);  // holding it already is no refusal
    std::string message;
    EXPECT_EQ(CycleCode(secondWriter, 8, &message), kPortHeldByAnotherPanel);
    EXPECT_EQ(message, "Der Port wird von einem anderen Panel benutzt");
    EXPECT_EQ(CycleCode(firstWriter, 4), 0);
    firstWriter.release();
    EXPECT_EQ(CycleCode(secondWriter, 8), 0);
    EXPECT_EQ(CycleCode(firstWriter, 4), kPortHeldByAnotherPanel);
}

TEST(PpdevDeviceHold, TheClaimEndsWithAProgramThatIsKilled) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = NewPortFile(dir);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        PpdevDevice device(path);
        const char ok = device.hold() == 0 ? 'y' : 'n';
        if (write(ready[1], &ok, 1) != 1) _exit(1);
        for (;;) pause();  // holds the claim until killed
    }
    close(ready[1]);
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    close(ready[0]);
    EXPECT_EQ(ok, 'y');
    PpdevDevice device(path);
    EXPECT_EQ(device.hold(), kPortHeldByAnotherPanel);
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(device.hold(), 0);
}

TEST(PpdevDeviceHold, AReplacedNodeIsClaimedAfresh) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = NewPortFile(dir);
    PpdevDevice first(path), second(path);
    ASSERT_EQ(first.hold(), 0);
    // The node goes away and comes back (driver reloaded): the old claim guards nothing.
    ASSERT_EQ(unlink(path.c_str()), 0);
    EXPECT_EQ(first.hold(), 2);
    NewPortFile(dir);
    EXPECT_EQ(second.hold(), 0);
    EXPECT_EQ(first.hold(), kPortHeldByAnotherPanel);
}
