// SPDX-License-Identifier: MIT
// Two panels on one port, each in a process of its own as in real use (the output word is one
// per process): each drives a channel of its own, so every byte at the port says which panel
// wrote it. Only the panel holding the port may be heard.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "app/PanelSession.h"
#include "output/PpdevDevice.h"
#include "panel/TComponent.h"
#include "panel/TForm1.h"
#include "support/PanelRig.h"
#include "support/SimPlatform.h"
#include "support/linux/TempDir.h"

namespace pio {

namespace {

constexpr char kBusy[] = "Der Port wird von einem anderen Panel benutzt.";

// What a panel process is told to do next; it answers with the number of boxes it has shown,
// or 0xFF when one of them said something other than kBusy.
enum Command : char { kChannelAndPortOn = 'o', kPortSwitch = 's', kRun = 'r', kQuit = 'q' };

// One panel on the simulated platform in a child process, with the real device on `port`.
class PanelProcess final {
public:
    PanelProcess(const std::string& port, const std::string& locks, int channel) {
        int toChild[2], toParent[2];
        if (pipe(toChild) != 0 || pipe(toParent) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(toChild[1]);
            close(toParent[0]);
            _exit(Serve(port, locks, channel, toChild[0], toParent[1]));
        }
        close(toChild[0]);
        close(toParent[1]);
        commands_ = toChild[1];
        answers_ = toParent[0];
    }
    ~PanelProcess() {
        if (pid_ <= 0) return;
        kill();
        close(commands_);
        close(answers_);
    }
    PanelProcess(const PanelProcess&) = delete;
    PanelProcess& operator=(const PanelProcess&) = delete;

    // Runs a command in the child; the boxes shown so far, or -1 when the child is gone.
    int Do(Command command) {
        unsigned char boxes = 0;
        if (write(commands_, &command, 1) != 1 || read(answers_, &boxes, 1) != 1) return -1;
        return boxes;
    }
    // Ends the child the hard way: the system, not the panel, gives the port up.
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    static int Serve(const std::string& port, const std::string& locks, int channel, int in,
                     int out) {
        SimPlatform sim;
        sim.answerBoxesAfter(1);
        PpdevDevice device(port, locks);
        PanelSession session(sim, device, "pio-out");
        session.Start();
        TForm1& form = session.Form();
        TImage* sockets[] = {form.a1, form.a2, form.a3, form.a4, form.a5, form.a6};
        for (char c; read(in, &c, 1) == 1 && c != kQuit;) {
            const std::int64_t now = sim.tickCount();
            if (c == kChannelAndPortOn) {
                sim.at(now + 1).click(PanelRig::Centre(sockets[channel - 1]));
                sim.at(now + 3).doubleClick(PanelRig::Centre(form.pout));
                sim.runUntil(now + 5);
            } else if (c == kPortSwitch) {
                sim.at(now + 1).doubleClick(PanelRig::Centre(form.pout));
                sim.runUntil(now + 5);
            } else {
                sim.runUntil(now + 500);
            }
            auto boxes = static_cast<unsigned char>(sim.boxes().size());
            for (const auto& box : sim.boxes())
                if (box.text != kBusy) boxes = 0xFF;
            if (write(out, &boxes, 1) != 1) return 1;
        }
        return 0;
    }

    pid_t pid_ = -1;
    int commands_ = -1;
    int answers_ = -1;
};

// The port: a FIFO this test reads.
class PortBytes final {
public:
    explicit PortBytes(const std::string& path) {
        if (mkfifo(path.c_str(), 0600) == 0) fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    }
    ~PortBytes() {
        if (fd_ >= 0) close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    // What arrived since the last call.
    std::vector<std::uint8_t> Take() {
        std::vector<std::uint8_t> got;
        std::uint8_t buf[4096];
        for (ssize_t n; (n = read(fd_, buf, sizeof buf)) > 0;) got.insert(got.end(), buf, buf + n);
        return got;
    }

private:
    int fd_ = -1;
};

std::set<int> Values(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

TEST(TwoPanelsTest, InTwoProcessesOnlyTheHoldersChannelsReachThePort) {
    TempDir dir, locks;
    ASSERT_TRUE(dir.ok() && locks.ok());
    PortBytes port(dir / "parport0");
    ASSERT_TRUE(port.ok());
    constexpr int kFirstByte = 4, kSecondByte = 128;  // channel 1, channel 6
    PanelProcess first(dir / "parport0", locks.path(), 1);
    PanelProcess second(dir / "parport0", locks.path(), 6);

    ASSERT_EQ(first.Do(kChannelAndPortOn), 0);
    ASSERT_EQ(first.Do(kRun), 0);
    auto bytes = port.Take();
    EXPECT_GE(bytes.size(), 45u);
    EXPECT_EQ(Values(bytes), std::set<int>{kFirstByte});

    // The second switches on while the first holds the port: one box, no byte.
    EXPECT_EQ(second.Do(kChannelAndPortOn), 0);
    EXPECT_EQ(second.Do(kRun), 1) << "0xFF: a box said something else";
    EXPECT_TRUE(port.Take().empty()) << "the second panel's bytes reached a held port";

    // The first lets go: from now on only the second is heard.
    EXPECT_EQ(first.Do(kPortSwitch), 0);
    port.Take();
    EXPECT_EQ(second.Do(kRun), 1);
    bytes = port.Take();
    EXPECT_GE(bytes.size(), 45u);
    EXPECT_EQ(Values(bytes), std::set<int>{kSecondByte});

    // The first wants it back and is refused, once.
    EXPECT_EQ(first.Do(kPortSwitch), 0);
    EXPECT_EQ(first.Do(kRun), 1);
    EXPECT_TRUE(port.Take().empty()) << "the first panel's bytes reached a held port";

    // The second dies holding the port: the first takes over by itself.
    second.kill();
    EXPECT_EQ(first.Do(kRun), 1);
    bytes = port.Take();
    EXPECT_GE(bytes.size(), 45u);
    EXPECT_EQ(Values(bytes), std::set<int>{kFirstByte});
    EXPECT_EQ(first.Do(kQuit), -1);
}

}  // namespace

}  // namespace pio
