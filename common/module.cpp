// The instance handle of the module the shared library is linked into, and the
// functions looked up in the system's libraries.
#include "module.h"

HINSTANCE moduleInstance = nullptr;

FARPROC SystemFunction(const char* library, const char* name)
{
    HMODULE module = GetModuleHandleA(library);
    return module ? GetProcAddress(module, name) : nullptr;
}
