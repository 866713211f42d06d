// The Restore window's "Restore into" and "Server names" fields, read as where a restore goes.
#pragma once

#include "backup/restore_destination.h"

#include <vector>

namespace kestrune {

// The pairs of the "Server names" field: OLD=NEW separated by blanks, commas or semicolons.
std::vector<WideString> ServerPairsOf(const WideString& text);

// "Restore into" (\\DOMAIN\NAMESPACE, blanks around it ignored; empty: the namespace the lines
// name) and "Server names" as a destination. At least one must be given: the window was asked
// to restore somewhere else. An error (UTF-8) begins with the field's name.
Expected<RestoreDestination> DestinationOfFields(const WideString& restoreInto,
                                                 const WideString& serverNames);

} // namespace kestrune
