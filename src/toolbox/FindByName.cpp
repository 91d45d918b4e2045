// SPDX-License-Identifier: MIT
#include "toolbox/FindByName.h"

#include "panel/TComponent.h"

TComponent* FindByName(const std::string& name, const TComponent& owner) {
    for (const auto& c : owner.Components())
        if (c->Name() == name) return c.get();
    return nullptr;
}
