// Prints the argument vector that Quarvel's own start-up makes of the
// command line, in the same form as argv_msvcrt.cpp. Linked like
// Quarvel.exe, with no C runtime.
#include "runtime/runtime.h"
#include "win32/names.h"

extern "C" void ArgvStart() {
    WCHAR **arguments = nullptr;
    const int argc = SplitProcessCommandLine(ProcessCommandLine(), arguments);
    for (int i = 0; i < argc; ++i) {
        WriteFormatted("%lu:[%ls]\n", static_cast<unsigned long>(TextLength(arguments[i])),
                       arguments[i]);
    }
    FlushConsole();
    ExitProcess(static_cast<UINT>(argc));
}
