// Every text Quarvel writes to the console, in one place. All are 8-bit
// strings in the ANSI code page; "\n" becomes CR LF on the console.
#ifndef QUARVEL_MESSAGES_H
#define QUARVEL_MESSAGES_H

#include "version.h"

// Driver messages. The banner and usage texts are written as lines, so each
// is followed by one more "\n" and an empty line.
#define MSG_BANNER "Quarvel " QUARVEL_VERSION_TEXT " - moves or renames a file in use at the next restart\n"
#define MSG_USAGE "Usage: Quarvel.exe Source Destination\n"
#define MSG_NOT_SUPPORTED "%s %s not supported."                        // description, service pack
#define MSG_OUTCOME "Current OS: %s %s\nMove or rename after reboot\n"  // description, service pack

// Failure report: the argument as typed, then the system's text for the
// error, which ends its own line. When the system has no text for the code,
// the code itself is named.
#define MSG_ERROR_WITH "Error with: %s. %s"
#define MSG_ERROR_CODE "Error with: %s. System error %lu.\n"

// Failure reports with the program's own reason: the argument as typed and,
// for the short-name refusal, the short name Windows 95 and 98 would leave.
// A call that failed with error code 0 gave no reason; the system's text for
// 0 would say that it succeeded.
#define MSG_NO_REASON "Error with: %s. Windows gave no reason.\n"
#define MSG_NOT_A_FILE "Error with: %s. It is a folder, not a file.\n"
#define MSG_ON_NETWORK_DRIVE "Error with: %s. Network drives are not available while Windows starts.\n"
#define MSG_SAME_FILE "Error with: %s. Source and Destination are the same file.\n"
#define MSG_THROUGH_SYSNATIVE                                                                 \
    "Error with: %s. The Sysnative folder exists only for 32-bit programs, and the restart does " \
    "not know it: name the file through System32.\n"
#define MSG_SHORT_NAME_ONLY \
    "Error with: %s. Windows 95 and 98 can replace it at the restart only under its short name, %s.\n"

// Descriptions of the running Windows.
#define MSG_DESCRIBE_WIN32S "Windows %ld.%ld"
#define MSG_DESCRIBE_WINDOWS95 "Windows 95 %ld.%ld build %ld"
#define MSG_DESCRIBE_WINDOWS98 "Windows 98 %ld.%ld build %ld"
#define MSG_DESCRIBE_WINDOWSNT "Windows NT %ld.%ld build %ld"
#define MSG_DESCRIBE_UNKNOWN_PLATFORM "Unknown Windows platform %ld"
#define MSG_DESCRIBE_UNREADABLE "Windows version could not be read"

#endif
