// TypedPropertyValues to and from PROPVARIANTs: the link object's property
// store hands out variants that own their memory, as the runtime frees them.
#pragma once

#include <cstdint>
#include <vector>

#include "shell/posix/lnk/bytes.h"
#include "shell/posix/sdk/property_store.h"

namespace corvane::posix {

// A copy of a TypedPropertyValue in a variant, the variant owning its
// memory. A type the stand-in does not copy comes back with its type and no
// data. HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT) when the value's own sizes
// pass its end; E_OUTOFMEMORY when its copy cannot be made.
HRESULT ReadTypedValue(Bytes value, PROPVARIANT& variant);

// The TypedPropertyValue of a variant. False for a type the stand-in does
// not write.
bool WriteTypedValue(REFPROPVARIANT variant, std::vector<std::uint8_t>& value);

}  // namespace corvane::posix
