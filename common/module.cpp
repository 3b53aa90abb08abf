// The instance handle of the module the shared library is linked into.
#include "module.h"

HINSTANCE moduleInstance = nullptr;
