#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "folder_check/folder_guard.h"

namespace keil {

// The entries of `dacl` as the rule reads them, none for a NULL DACL
// (which allows everybody everything). Allowing and denying entries of
// every kind are told apart by their types; an inherited entry applies to
// the entry that holds it, an inherit-only one only to what is made below;
// an allowing entry of a kind that carries more than a SID and rights (an
// object's or a condition's) cannot be read.
std::optional<std::vector<AccessEntry>> DaclEntries(const ACL* dacl);

}  // namespace keil
