// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace pio {

// The first component owned by `owner`, in creation order, whose name equals `name`
// exactly (case-sensitive); nullptr if there is none. A template over the owner, so that the
// toolbox needs nothing of the component model: any owner whose Components() hold pointers
// to things with a Name() will do.
template <class Owner>
auto FindByName(const std::string& name, const Owner& owner)
    -> decltype(owner.Components().front().get()) {
    for (const auto& c : owner.Components())
        if (c->Name() == name) return c.get();
    return nullptr;
}

}  // namespace pio
