// What the next start will already carry out, as Windows holds it.
#include "deferred_move.h"

namespace {

// Takes Windows' marks off a name of a pending move: "!" (replace the file
// there; on a destination), "*" and a digit (Windows 10 and 11 since 2025),
// in either order, then the \??\ of an NT path.
const WCHAR *Unmarked(const WCHAR *name, bool &replaces) {
    for (;;) {
        if (name[0] == '!') {
            replaces = true;
            ++name;
        } else if (name[0] == '*' && name[1] >= '0' && name[1] <= '9') {
            name += 2;
        } else {
            break;
        }
    }
    const bool ntPath = name[0] == '\\' && name[1] == '?' && name[2] == '?' && name[3] == '\\';
    return ntPath ? name + 4 : name;
}

// PendingFileRenameOperations and ...2, which the Session Manager runs as one
// list, in this order: pairs of names, an empty destination for a delete.
// Each value ends in two zero characters more than Windows stored, so that a
// cut pair still ends.
DWORD VisitRegistryList(bool (*visit)(const PendingMove &move)) {
    const WCHAR *const names[] = {L"PendingFileRenameOperations", L"PendingFileRenameOperations2"};
    WCHAR *values[2];
    const DWORD error = ReadPendingValues(names, values);
    bool found = false;
    for (WCHAR *value : values) {
        for (const WCHAR *name = value; name != nullptr && *name != 0 && !found;) {
            PendingMove move = {nullptr, nullptr, false};
            bool replaces = false;
            move.source = Unmarked(name, replaces);
            name += TextLength(name) + 1;
            move.destination = Unmarked(name, move.replaces);
            name += TextLength(name) + 1;
            found = visit(move);
        }
        if (value != nullptr) {
            LocalFree(value);
        }
    }
    return error;
}

// The [rename] section: "destination=source" lines, "NUL=source" a delete.
void VisitRenameSection(bool (*visit)(const PendingMove &move)) {
    static WCHAR lines[MaxPath];
    ReadRenameSection(lines);
    for (WCHAR *line = lines; *line != 0;) {
        WCHAR *next = line + TextLength(line) + 1;
        WCHAR *equals = line;
        while (*equals != 0 && *equals != '=') {
            ++equals;
        }
        if (*equals == '=') {
            *equals = 0;
            const PendingMove move = {equals + 1, SameName(line, L"NUL") ? L"" : line, true};
            if (visit(move)) {
                return;
            }
        }
        line = next;
    }
}

}  // namespace

DWORD ForEachPendingMove(DeferMechanism mechanism, bool (*visit)(const PendingMove &move)) {
    if (mechanism == DeferMechanism::StartupRenameList) {
        VisitRenameSection(visit);
        return ERROR_SUCCESS;
    }
    // The registry needs no file system redirection, and ADVAPI32 may be
    // loaded on the way, which needs it on.
    TurnRedirectionOn();
    const DWORD error = VisitRegistryList(visit);
    TurnRedirectionOff();
    return error;
}
