// Windows: the SDK declares the property names.
#pragma once

#include "shell/windows/com.h"
#include <propidl.h>
#include <propkey.h>
#include <propsys.h>
