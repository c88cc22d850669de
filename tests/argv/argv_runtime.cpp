// Prints the argument vector that Quarvel's own start-up makes of the
// command line, in the same form as argv_msvcrt.cpp. Linked like
// Quarvel.exe, with no C runtime.
#include "runtime/runtime.h"
#include "win32/win32.h"

extern "C" void ArgvStart() {
    char **arguments = nullptr;
    const int argc = SplitProcessCommandLine(GetCommandLineA(), arguments);
    for (int i = 0; i < argc; ++i) {
        WriteFormatted("%lu:[%s]\n", static_cast<unsigned long>(lstrlenA(arguments[i])),
                       arguments[i]);
    }
    FlushConsole();
    ExitProcess(static_cast<UINT>(argc));
}
