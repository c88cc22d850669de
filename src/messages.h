// Every text Quarvel writes to the console, in one place. All are ASCII
// (descriptions may carry the system's ANSI text); "\n" becomes CR LF. A
// name ("%ls") is written as the output shows it: into a file or pipe in the
// ANSI code page, on a console as its characters; with "?" for each
// character that cannot be shown exactly, and for each control or
// bidirectional formatting character.
#ifndef QUARVEL_MESSAGES_H
#define QUARVEL_MESSAGES_H

#include "version.h"

// Driver messages. The banner and usage texts are written as lines, so each
// is followed by one more "\n" and an empty line.
#define MSG_BANNER "Quarvel " QUARVEL_VERSION_TEXT " - moves or renames a file in use at the next restart\n"
#define MSG_USAGE "Usage: Quarvel.exe Source Destination\n"
#define MSG_NOT_SUPPORTED "%s %s not supported."                        // description, service pack
#define MSG_OUTCOME "Current OS: %s %s\nMove or rename after reboot\n"  // description, service pack

// Failure report: the argument as typed, then the reason: the system's text
// for the error, which ends its own line, or one of the program's own below.
// When the system has no text for the code, the code itself is named.
#define MSG_ERROR_WITH "Error with: %ls. "
#define MSG_ERROR_CODE "Error with: %ls. System error %lu.\n"

// The program's own reasons, which follow "Error with: <argument>. " in the
// report. The drive-letter one names what the letter stands for, the
// short-name one the short name Windows 95 and 98 would leave. A call that
// failed with error code 0 gave no reason; the system's text for 0 would say
// that it succeeded.
#define MSG_NO_REASON "Windows gave no reason.\n"
#define MSG_NOT_A_FILE "It is a folder, not a file.\n"
#define MSG_ON_NETWORK_DRIVE "Network drives are not available while Windows starts.\n"
#define MSG_SAME_FILE "Source and Destination are the same file.\n"
#define MSG_THROUGH_SYSNATIVE                                                               \
    "The Sysnative folder exists only for 32-bit programs, and the restart does not know " \
    "it: name the file through System32.\n"
#define MSG_NOT_ON_FIXED_DISK "Only files on a fixed local disk can be replaced at the restart.\n"
#define MSG_ON_SUBST_DRIVE \
    "Its drive letter stands for %ls and does not exist at the restart: name the file by that path.\n"
#define MSG_LINK_NOT_FILE \
    "It is a link, and the restart may act on the file it points to: name the file itself.\n"
#define MSG_READ_ONLY_FILE                                                                   \
    "It is read-only, and the restart cannot replace it: clear the attribute first (attrib " \
    "-r), then run again.\n"
#define MSG_SHORT_NAME_ONLY \
    "Windows 95 and 98 can replace it at the restart only under its short name, %ls.\n"
#define MSG_STREAM_NAME \
    "It names a stream of a file, and the restart moves only whole files: name the file itself.\n"
#define MSG_NO_FINAL_PATH                                                                    \
    "Windows gives no path by a drive letter for it, so the restart cannot reach it: name " \
    "it by a path on a local disk's drive letter.\n"
// After the system's text when Windows refused the registration, or the
// reading or locking of the pending lists, for want of rights (NT).
#define MSG_RUN_AS_ADMINISTRATOR                                                     \
    "Only an administrator can register a move for the restart: run Quarvel from a " \
    "prompt opened with Run as administrator.\n"
#define MSG_PENDING_LISTS_BUSY "Another program is registering moves for the restart: run again.\n"
#define MSG_PENDING_LIST_DAMAGED                                                               \
    "The list of moves already pending for the next start cannot be read whole, and a move " \
    "added to it could be lost: restart Windows first, which clears the list, then run again.\n"
#define MSG_LOCK_NAME_TAKEN                                                                     \
    "Another program holds %ls, the name of the lock that keeps two registrations apart, so "   \
    "Quarvel cannot be sure that none runs at the same time: end that program, or restart Windows, " \
    "then run again.\n"
// After the registration, when the lists could not be read back; the
// command that shows them.
#define MSG_REQUEST_MAY_BE_KEPT                                                                  \
    "Windows took the request, but the list for the next start could not be read back to make " \
    "sure that it holds it: look with %ls before you run again.\n"
#define LOOK_AT_PENDING_NT \
    L"reg query \"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\" /v PendingFileRenameOperations"
#define LOOK_AT_PENDING_9X L"type %windir%\\WININIT.INI"
#define MSG_REQUEST_NOT_KEPT \
    "Windows did not keep the request in the list for the next start: run again.\n"
// Who else may change Source, or a folder on its path or Destination's; the
// folder named is the one whose permissions let them.
#define MSG_STAGE_SAFELY                                                                    \
    "move it to a folder only administrators and SYSTEM can write, all the way up to the " \
    "drive's root, then run again.\n"
#define MSG_OPEN_TO_USERS \
    "Another account can change or replace it, and the restart gives Destination its permissions: " MSG_STAGE_SAFELY
#define MSG_FOLDER_OPEN_TO_USERS                                                               \
    "Another account can replace a folder on its path, as the permissions of %ls allow, and so " \
    "the file the restart moves: " MSG_STAGE_SAFELY
#define MSG_DESTINATION_PATH_OPEN                                                                  \
    "Another account can change or replace it, and a folder on Destination's path, as the "      \
    "permissions of %ls allow, and so choose where the restart puts it: " MSG_STAGE_SAFELY
// Windows 11's Session Manager refuses a file that carries a reparse point;
// disks that Windows connects late.
#define MSG_COMPRESSED_BY_WINDOWS                                                                \
    "It is compressed by Windows (CompactOS, compact /exe), and Windows 11 neither moves nor " \
    "replaces such a file at the restart: uncompress it first (compact /u /exe), then run again.\n"
#define MSG_REPARSE_POINT_FILE                                                                     \
    "It carries a reparse point (a deduplicated or cloud file), and Windows 11 neither moves nor " \
    "replaces such a file at the restart: make it a plain file first, then run again.\n"
#define MSG_ON_ISCSI_DISK \
    "It lies on an iSCSI disk, which Windows connects only after the restart has carried out its moves.\n"
#define MSG_ON_DETACHED_VIRTUAL_DISK                                                              \
    "It lies on a virtual disk that is not attached at boot, which Windows connects only after " \
    "the restart has carried out its moves, if at all.\n"
// A move already pending names its source and destination, a delete its
// file; all these reports go on with the same text.
#define MSG_IN_PENDING_MOVE "A move of %ls onto %ls"
#define MSG_IN_PENDING_DELETE "A deletion of %ls"
#define MSG_FOLDER_IN_PENDING_MOVE "A move of %ls, a folder that holds the file, onto %ls"
#define MSG_FOLDER_REPLACED_BY_PENDING_MOVE "A move of %ls onto %ls, a folder that holds the file,"
#define MSG_FOLDER_IN_PENDING_DELETE "A deletion of %ls, a folder that holds the file,"
#define MSG_PENDING_TAIL \
    " is already pending for the next start, and the two would combine: restart Windows first, then run again.\n"

// Descriptions of the running Windows.
#define MSG_DESCRIBE_WIN32S "Windows %ld.%ld"
#define MSG_DESCRIBE_WINDOWS95 "Windows 95 %ld.%ld build %ld"
#define MSG_DESCRIBE_WINDOWS98 "Windows 98 %ld.%ld build %ld"
#define MSG_DESCRIBE_WINDOWSNT "Windows NT %ld.%ld build %ld"
#define MSG_DESCRIBE_UNKNOWN_PLATFORM "Unknown Windows platform %ld"
#define MSG_DESCRIBE_UNREADABLE "Windows version could not be read"

#endif
