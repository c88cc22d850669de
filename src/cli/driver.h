// The program's main flow, from the banner to the exit status.
#ifndef QUARVEL_DRIVER_H
#define QUARVEL_DRIVER_H

#include "../deferred_move/deferred_move.h"

// Runs Quarvel once with the argument vector of main (program name first) and
// returns the status the process ends with.
ExitStatus RunQuarvel(int argc, WCHAR *argv[]);

#endif
