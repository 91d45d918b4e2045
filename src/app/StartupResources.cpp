// SPDX-License-Identifier: MIT
#include "app/StartupResources.h"

#include <algorithm>
#include <cstdint>

namespace pio {

std::int64_t StartupResources::AddressSpaceNeeded(std::int64_t threadStack) {
    return kLibrariesAndHeap + kThreads * std::max<std::int64_t>(threadStack, 0);
}

StartupResources::Shortage StartupResources::Check(const Figures& figures) {
    if (figures.descriptorLimit >= 0 &&
        figures.descriptorLimit - figures.descriptorsInUse < kDescriptorsNeeded) {
        return Shortage::FileHandles;
    }
    if (figures.addressSpaceLimit >= 0 && figures.addressSpaceLimit - figures.addressSpaceInUse <
                                              AddressSpaceNeeded(figures.threadStack)) {
        return Shortage::Memory;
    }
    if (figures.stackLimit >= 0 && figures.stackLimit < kStackNeeded) return Shortage::Stack;
    return Shortage::None;
}

StartupResources::Shortage StartupResources::FromThreadTrial(int started, bool roomForStacks) {
    if (started >= kThreadsNeeded) return Shortage::None;
    return roomForStacks ? Shortage::Threads : Shortage::Memory;
}

bool StartupResources::BoxPossible(const Figures& figures) {
    const bool descriptors =
        figures.descriptorLimit < 0 ||
        figures.descriptorLimit - figures.descriptorsInUse >= kDescriptorsForBox;
    const bool memory =
        figures.addressSpaceLimit < 0 || figures.addressSpaceLimit - figures.addressSpaceInUse >=
                                             AddressSpaceNeeded(figures.threadStack);
    const bool stack = figures.stackLimit < 0 || figures.stackLimit >= kStackNeeded;
    return descriptors && memory && stack;
}

StartupResources::Shortage StartupResources::FromProbes(bool outOfDescriptors, bool outOfMemory) {
    if (outOfDescriptors) return Shortage::FileHandles;
    if (outOfMemory) return Shortage::Memory;
    return Shortage::None;
}

const char* StartupResources::Kind(Shortage shortage) {
    switch (shortage) {
        case Shortage::FileHandles: return "EInOutError";
        case Shortage::Memory: return "EOutOfMemory";
        case Shortage::Threads: return "EThread";
        case Shortage::Stack: return "EStackOverflow";
        case Shortage::None: break;
    }
    return nullptr;
}

const char* StartupResources::Message(Shortage shortage) {
    switch (shortage) {
        case Shortage::FileHandles: return "Zu viele Dateien geöffnet";
        case Shortage::Memory: return "Zu wenig Arbeitsspeicher";
        case Shortage::Threads: return "Zu viele Prozesse oder Threads";
        case Shortage::Stack: return "Zu wenig Stapelspeicher";
        case Shortage::None: break;
    }
    return nullptr;
}

}  // namespace pio
