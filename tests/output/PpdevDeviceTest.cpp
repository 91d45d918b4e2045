// SPDX-License-Identifier: MIT
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "output/EInOutError.h"
#include "output/PortByte.h"
#include "output/PortWriter.h"
#include "output/PpdevDevice.h"
#include "support/CycleCode.h"
#include "support/linux/TempDir.h"

namespace pio {

namespace {

namespace fs = std::filesystem;

// PortByte never yields it (bits 0 and 1 are always clear), so it can end a byte stream.
constexpr std::uint8_t kEndOfStream = 0xFF;
constexpr int kCycles = 100000;

// The word for cycle i: walks through all 128 words, in an order unlike 0,1,2... so a
// dropped or repeated byte cannot line up with its neighbour by accident.
std::int32_t WordFor(int i) { return (i * 37 + i / 128) % 128; }

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

// The panels' lock files of these tests, apart from the system's.
const std::string& LockDir() {
    static const TempDir dir;
    return dir.path();
}

// Runs one cycle; the EInOutError code, or 0 for success.
int CycleCode(const std::string& path, std::int32_t word, std::string* message = nullptr) {
    PpdevDevice device(path, LockDir());
    PortWriter writer(device);
    return CycleCode(writer, word, message);
}

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
        PpdevDevice device(path, LockDir());
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

// Whether device nodes made in `dir` work (root, and a file system mounted without nodev).
bool CanMakeNodes(const TempDir& dir) {
    struct statvfs vfs = {};
    return geteuid() == 0 && statvfs(dir.path().c_str(), &vfs) == 0 && (vfs.f_flag & ST_NODEV) == 0;
}

TEST(PpdevDevice, PpdevNodeWithoutItsPortIsFileNotFound) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    if (!CanMakeNodes(dir))
        GTEST_SKIP() << "cannot make device nodes in " << dir.path() << " (needs root)";
    // ppdev's major with a minor far beyond any port: no driver, or no port behind it.
    const std::string node = dir / "parport0";
    ASSERT_EQ(mknod(node.c_str(), S_IFCHR | 0600, makedev(99, 200)), 0);
    std::string message;
    EXPECT_EQ(CycleCode(node, 1, &message), 2);
    EXPECT_EQ(message, "Datei nicht gefunden");
}

TEST(PpdevDevice, NodeWithoutPermissionIsAccessDenied) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir / "parport0";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);

    if (geteuid() != 0) {
        ASSERT_EQ(chmod(path.c_str(), 0), 0);
        std::string message;
        EXPECT_EQ(CycleCode(path, 1, &message), 5);
        EXPECT_EQ(message, "Dateizugriff verweigert");
        return;
    }
    // Root is never refused, so run the cycle in a child that has become nobody, with lock
    // files of its own.
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    constexpr int kCannotDrop = 200;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(kCannotDrop);
        }
        PpdevDevice device(path, dir.path());
        PortWriter writer(device);
        std::string message;
        const int code = CycleCode(writer, 1, &message);
        _exit(code == 5 && message == "Dateizugriff verweigert" ? 5 : 100 + code % 100);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kCannotDrop) GTEST_SKIP() << "cannot drop root privileges";
    EXPECT_EQ(WEXITSTATUS(status), 5) << "100 + code means the cycle gave that other code";
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

}  // namespace pio
