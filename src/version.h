// Version of Quarvel, shared by the banner and the version resource.
#ifndef QUARVEL_VERSION_H
#define QUARVEL_VERSION_H

#define QUARVEL_VERSION_MAJOR 1
#define QUARVEL_VERSION_MINOR 0
#define QUARVEL_VERSION_PATCH 0
#define QUARVEL_VERSION_TEXT "1.0.0"
#define QUARVEL_COPYRIGHT "Copyright (C) 2026 The Quarvel developers"

#endif
