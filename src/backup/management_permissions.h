// Who may manage a namespace (its delegation): the entries of the DACL of the namespace's
// anchor object, the object NetDfsGetSecurity and NetDfsSetSecurity act on, beyond those the
// directory gives every namespace when it is created. A properties file keeps them as SDDL on
// the root; a restore that creates the namespace gives them back.
#pragma once

#include "base/expected.h"
#include "base/security_descriptor.h"
#include "dfs/toxldfs.h"

#include <optional>
#include <string>
#include <string_view>

namespace kestrune {

// The default DACL of the anchor's class in the directory's schema (ms-DFS-Namespace-Anchor):
// every namespace's anchor holds these entries as its own from its creation.
inline constexpr std::string_view kNamespaceDefaultDacl =
    "D:(A;;RPWPCRCCDCLCLORCWOWDSDDTSW;;;DA)(A;;RPWPCRCCDCLCLORCWOWDSDDTSW;;;SY)"
    "(A;;RPLCLORC;;;AU)(A;;RPWPCRCCDCLCLORCWOWDSDDTSW;;;CO)";

// The anchor's own entries (not inherited) other than the defaults, and whether it blocks
// inheritance ("D:P"), as SDDL; "" when there are none and it does not. domains gives the SID of
// the domain's admins (DA); without it any domain's admins with the default rights count as the
// default.
Expected<std::string> DelegationOf(std::string_view descriptor, const DomainSids& domains);

// The DACL-only descriptor that gives a namespace whose descriptor is current the recorded
// delegation too: the recorded entries it lacks go among its own (denying ones before the
// others, as Windows orders them), and what it inherits stays last.
Expected<std::string> WithDelegation(std::string_view current, std::string_view recordedSddl,
                                     const DomainSids& domains);

// The delegation of the namespace the component's DFSEntry names; nothing when the platform
// cannot tell (ERROR_NOT_SUPPORTED). An error says why it cannot be read or kept.
Expected<std::optional<std::string>> ReadDelegation(TOXLDFS& dfs, const DomainSids& domains);

} // namespace kestrune
