// SPDX-License-Identifier: MIT
#pragma once

#include <string>

class TComponent;

// The first component owned by `owner`, in creation order, whose name equals `name`
// exactly (case-sensitive); nullptr if there is none.
TComponent* FindByName(const std::string& name, const TComponent& owner);
