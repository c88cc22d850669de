// Functions looked up at run time, in a module that may lack them.
#include "win32.h"

FARPROC ModuleAddress(HMODULE module, const char *name) {
    return module != nullptr ? GetProcAddress(module, name) : nullptr;
}

FARPROC Kernel32Address(const char *name) { return ModuleAddress(GetModuleHandleA("kernel32.dll"), name); }
