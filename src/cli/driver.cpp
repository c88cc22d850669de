// Banner, argument check, support decision and outcome message.
#include "driver.h"

#include "../messages.h"
#include "../runtime/runtime.h"

namespace {

// Writes a text followed by one line end.
void WriteLine(const char *text) {
    WriteText(text);
    WriteText("\n");
}

}  // namespace

ExitStatus RunQuarvel(int argc, WCHAR *argv[]) {
    // A drive without a disk (an empty floppy or CD drive on the search
    // path) gives an error code, not a dialog that waits for a click.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    WriteLine(MSG_BANNER);

    // The platform is identified on every run, before the arguments are read.
    const OsIdentity identity = IdentifyOs();

    if (argc != 3) {
        WriteLine(MSG_USAGE);
        return UsageError;
    }
    if (identity.mechanism == DeferMechanism::None) {
        WriteFormatted(MSG_NOT_SUPPORTED, identity.description, identity.servicePack);
        return Success;
    }

    const ExitStatus status = RequestDeferredMove(argv[1], argv[2], identity.mechanism);
    if (status != Success) {
        return status;
    }
    WriteFormatted(MSG_OUTCOME, identity.description, identity.servicePack);
    return Success;
}
