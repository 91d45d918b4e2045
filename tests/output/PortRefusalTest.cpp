// SPDX-License-Identifier: MIT
// Paths that are not a port: whatever they are, no cycle writes to them, and each reports
// "I/O-Fehler 1" (the device does not understand the port requests).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <ios>
#include <sstream>
#include <string>

#include "output/PortNode.h"
#include "output/PortWriter.h"
#include "output/PpdevDevice.h"
#include "support/CycleCode.h"
#include "support/linux/TempDir.h"

namespace pio {

namespace {

const std::string kUserData = "IMPORTANT USER DATA";

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// One kind of path that is not a port: how to make it in `dir` (the path to give the panel,
// or "" to skip), and whether it still looks untouched after the cycles.
struct NotAPortCase {
    const char* name;
    std::function<std::string(const TempDir& dir)> make;
    std::function<bool(const TempDir& dir)> untouched;
};

bool Unchecked(const TempDir&) { return true; }

std::string UserFile(const TempDir& dir) {
    std::ofstream(dir / "notes.txt", std::ios::binary) << kUserData;
    return dir / "notes.txt";
}

bool UserFileUntouched(const TempDir& dir) { return Contents(dir / "notes.txt") == kUserData; }

class NotAPort : public ::testing::TestWithParam<NotAPortCase> {};

TEST_P(NotAPort, IsRefusedUnwrittenEveryCycle) {
    TempDir dir, locks;
    ASSERT_TRUE(dir.ok() && locks.ok());
    const std::string path = GetParam().make(dir);
    if (path.empty()) GTEST_SKIP() << "cannot make this kind of file here (device nodes need root)";

    PpdevDevice device(path, locks.path());
    PortWriter writer(device);
    for (int i = 0; i < 100; ++i) {
        std::string message;
        ASSERT_EQ(CycleCode(writer, 63, &message), kNotAPort) << "cycle " << i;
        ASSERT_EQ(message, "I/O-Fehler 1");
    }
    writer.release();
    EXPECT_TRUE(GetParam().untouched(dir));
}

// A terminal whose master side must see nothing.
class Pty final {
public:
    Pty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
            slave_ = ptsname(master_);
    }
    ~Pty() {
        if (master_ >= 0) close(master_);
    }
    const std::string& slave() const { return slave_; }
    bool silent() const {
        pollfd p{master_, POLLIN, 0};
        return poll(&p, 1, 0) == 0;
    }

private:
    int master_ = -1;
    std::string slave_;
};

Pty& ThePty() {
    static Pty pty;
    return pty;
}

std::string MakeNode(const TempDir& dir, mode_t kind, dev_t dev) {
    struct statvfs vfs = {};
    if (geteuid() != 0 || statvfs(dir.path().c_str(), &vfs) != 0 || (vfs.f_flag & ST_NODEV))
        return "";
    // Majors 240..254 are set aside for local use: no driver stands behind these nodes.
    return mknod((dir / "node").c_str(), kind | 0600, dev) == 0 ? dir / "node" : "";
}

INSTANTIATE_TEST_SUITE_P(
    PortPath, NotAPort,
    ::testing::Values(
        NotAPortCase{"RegularFile", UserFile, UserFileUntouched},
        NotAPortCase{"SymlinkToAFile",
                     [](const TempDir& dir) {
                         UserFile(dir);
                         return symlink("notes.txt", (dir / "link").c_str()) == 0 ? dir / "link"
                                                                                  : "";
                     },
                     UserFileUntouched},
        NotAPortCase{"Directory", [](const TempDir& dir) { return dir.path(); }, Unchecked},
        NotAPortCase{"Terminal", [](const TempDir&) { return ThePty().slave(); },
                     [](const TempDir&) { return ThePty().silent(); }},
        NotAPortCase{"DevNull", [](const TempDir&) { return std::string("/dev/null"); }, Unchecked},
        NotAPortCase{"DevZero", [](const TempDir&) { return std::string("/dev/zero"); }, Unchecked},
        NotAPortCase{"Socket",
                     [](const TempDir& dir) -> std::string {
                         sockaddr_un addr{};
                         addr.sun_family = AF_UNIX;
                         const std::string path = dir / "sock";
                         if (path.size() >= sizeof addr.sun_path) return "";
                         std::strcpy(addr.sun_path, path.c_str());
                         const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
                         const bool bound =
                             bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
                         close(fd);  // the socket file stays
                         return bound ? path : "";
                     },
                     Unchecked},
        NotAPortCase{"BlockDevice",
                     [](const TempDir& dir) { return MakeNode(dir, S_IFBLK, makedev(240, 0)); },
                     Unchecked},
        NotAPortCase{"OtherCharacterDevice",
                     [](const TempDir& dir) { return MakeNode(dir, S_IFCHR, makedev(240, 0)); },
                     Unchecked}),
    [](const ::testing::TestParamInfo<NotAPortCase>& test) { return test.param.name; });

// What the command line refuses before any window: only what can never be a port.
TEST(NeverAPort, NamesPlainFilesFoldersAndSocketsOnly) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string file = UserFile(dir);
    EXPECT_STREQ(NeverAPort(file), "eine gewöhnliche Datei");
    EXPECT_STREQ(NeverAPort(dir.path()), "ein Verzeichnis");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(NeverAPort(dir / "fifo"), nullptr);
    EXPECT_EQ(NeverAPort(dir / "missing"), nullptr) << "a port may come later (driver loaded)";
    EXPECT_EQ(NeverAPort("/dev/null"), nullptr) << "character devices are judged by the cycle";
    const std::string block = MakeNode(dir, S_IFBLK, makedev(240, 1));
    if (!block.empty()) {
        EXPECT_STREQ(NeverAPort(block), "ein Blockgerät");
    }
}

struct KindCase {
    mode_t mode;
    dev_t rdev;
    PortNodeKind kind;
};

class KindOfNode : public ::testing::TestWithParam<KindCase> {};

TEST_P(KindOfNode, OnlyPpdevNodesAndFifosAreWritten) {
    EXPECT_EQ(PortNodeKindOf(GetParam().mode, GetParam().rdev), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, KindOfNode,
    ::testing::Values(KindCase{S_IFCHR | 0660, makedev(99, 0), PortNodeKind::ParallelPort},
                      KindCase{S_IFCHR | 0600, makedev(99, 3), PortNodeKind::ParallelPort},
                      KindCase{S_IFIFO | 0600, 0, PortNodeKind::Fifo},
                      KindCase{S_IFCHR | 0666, makedev(1, 3), PortNodeKind::NotAPort},    // null
                      KindCase{S_IFCHR | 0640, makedev(1, 4), PortNodeKind::NotAPort},    // port
                      KindCase{S_IFCHR | 0620, makedev(136, 2), PortNodeKind::NotAPort},  // pts
                      KindCase{S_IFCHR | 0660, makedev(6, 0), PortNodeKind::NotAPort},    // lp
                      KindCase{S_IFBLK | 0660, makedev(99, 0), PortNodeKind::NotAPort},
                      KindCase{S_IFREG | 0644, 0, PortNodeKind::NotAPort},
                      KindCase{S_IFDIR | 0755, 0, PortNodeKind::NotAPort},
                      KindCase{S_IFSOCK | 0755, 0, PortNodeKind::NotAPort}));

}  // namespace

}  // namespace pio
