// Prints the argument vector that Quarvel's own start-up makes of the
// command line, in the same form as argv_msvcrt.cpp. Linked like
// Quarvel.exe, with no C runtime.
#include "runtime/runtime.h"
#include "win32/win32.h"

namespace {

char argumentText[MaxArgumentText];
char *arguments[MaxArguments];

}  // namespace

extern "C" void ArgvStart() {
    const int argc = SplitCommandLine(GetCommandLineA(), argumentText, sizeof argumentText,
                                      arguments, MaxArguments);
    for (int i = 0; i < argc; ++i) {
        WriteFormatted("%lu:[%s]\n", static_cast<unsigned long>(lstrlenA(arguments[i])),
                       arguments[i]);
    }
    FlushConsole();
    ExitProcess(static_cast<UINT>(argc));
}
