// Property values and stores: PROPVARIANT, PROPERTYKEY, IPropertyStore,
// PropVariantClear and the key of the AppUserModelID.
#pragma once

#ifdef _WIN32
#include "shell/windows/property_store.h"
#else
#include "shell/posix/sdk/property_store.h"
#endif
