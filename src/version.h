// The version of Quarvel: the one place it is written. The banner, the
// version resource, the manifest and the release's file name all take it
// from here (CMake reads the three numbers below).
#ifndef QUARVEL_VERSION_H
#define QUARVEL_VERSION_H

#define QUARVEL_VERSION_MAJOR 1
#define QUARVEL_VERSION_MINOR 0
#define QUARVEL_VERSION_PATCH 0

#define QUARVEL_TEXT_OF_(value) #value
#define QUARVEL_TEXT_OF(value) QUARVEL_TEXT_OF_(value)
#define QUARVEL_VERSION_TEXT                                                  \
    QUARVEL_TEXT_OF(QUARVEL_VERSION_MAJOR) "." QUARVEL_TEXT_OF(QUARVEL_VERSION_MINOR) "." \
        QUARVEL_TEXT_OF(QUARVEL_VERSION_PATCH)

#define QUARVEL_COPYRIGHT "Copyright (C) 2026 The Quarvel developers. MIT License."

#endif
