// The ranges Active Directory's schema sets for some integer attributes (rangeLower and
// rangeUpper): a value outside them is refused with constraintViolation, as the directory
// refuses it.
#pragma once

#include "platform/store/directory_store.h"

namespace kestrune::store {

Status CheckValueRanges(const Entry& entry);

} // namespace kestrune::store
