// Banner, argument check, support decision and outcome message.
#include "driver.h"

#include <stdio.h>

#include "../messages.h"

namespace {

// Writes a text followed by one line end.
void WriteLine(const char *text) {
    fputs(text, stdout);
    fputc('\n', stdout);
}

}  // namespace

ExitStatus RunQuarvel(int argc, char *argv[]) {
    WriteLine(MSG_BANNER);

    // The platform is identified on every run, before the arguments are read.
    const OsIdentity identity = IdentifyOs();

    if (argc != 3) {
        WriteLine(MSG_USAGE);
        return UsageError;
    }
    if (identity.mechanism == DeferMechanism::None) {
        printf(MSG_NOT_SUPPORTED, identity.description, identity.servicePack);
        return Success;
    }

    const ExitStatus status = RequestDeferredMove(argv[1], argv[2], identity.mechanism);
    if (status != Success) {
        return status;
    }
    printf(MSG_OUTCOME, identity.description, identity.servicePack);
    return Success;
}
