// Turning the WOW64 file system redirector off and on again. A 32-bit program
// on 64-bit Windows sees SysWOW64 where it names System32, while the moves it
// registers are carried out by the native system, which sees System32.
#include "deferred_move.h"

namespace {

// Set while the redirector is off: how to turn it on again.
Wow64RevertProc revertRedirection;
PVOID redirectionOldValue;

}  // namespace

void TurnRedirectionOff() {
    const Wow64DisableProc disable =
        Kernel32Function<Wow64DisableProc>("Wow64DisableWow64FsRedirection");
    const Wow64RevertProc revert = Kernel32Function<Wow64RevertProc>("Wow64RevertWow64FsRedirection");
    // Fails in a 64-bit program: there is nothing to turn off.
    if (disable != nullptr && revert != nullptr && disable(&redirectionOldValue)) {
        revertRedirection = revert;
    }
}

void TurnRedirectionOn() {
    if (revertRedirection != nullptr) {
        revertRedirection(redirectionOldValue);
        revertRedirection = nullptr;
    }
}
