// What the next start will already carry out, judged against this request:
// a file that takes part in a pending move, by any of its spellings or by
// what a pending name opens; and the registration read back.
#include "request.h"

#include "../win32/pending_lists.h"

namespace {

// The identities of the folders that hold each file, from its own folder
// up, read once, when a pending name first needs them (NT).
struct Folders {
    bool read;
    DWORD count[2];
    FileId ids[2][MaxPath / 2];
} folders;

// How a pending name bears on a file of the request: by the file's own name
// (a spelling of it, or from Vista on, the same final path), by the file
// alone (before Vista, where the name opens it but another hard link may be
// meant), or by a folder that holds it.
enum class Touch { Nothing, File, SameFile, Folder };

// A pending name's final path, and the name a pending NT object name
// (\SystemRoot\..., \Device\...) opens by.
WCHAR pendingFinal[MaxPath];
WCHAR objectName[MaxPath];

// The folders above a file, from the one after its root (C:\, or the
// volume's in \\?\Volume{...}\) to its own.
void ReadFolderIds() {
    folders.read = true;
    for (int file = SourceFile; file <= DestinationFile; ++file) {
        WCHAR *path = scratch;
        folders.count[file] = 0;
        if (!CopyText(scratch, request.realPaths[file])) {
            continue;
        }
        const bool deviceForm = path[0] == '\\' && path[1] == '\\';
        bool pastRoot = false;
        for (WCHAR *c = path + (deviceForm ? 4 : 0); *c != 0; ++c) {
            if (*c == '\\' && !pastRoot) {
                pastRoot = true;
            } else if (*c == '\\') {
                *c = 0;
                if (FileIdentity(path, folders.ids[file][folders.count[file]])) {
                    ++folders.count[file];
                }
                *c = '\\';
            }
        }
    }
}

// The length of the path component at `component`, up to its backslash or
// the end of the path.
DWORD ComponentLength(const WCHAR *component) {
    DWORD length = 0;
    while (component[length] != 0 && component[length] != '\\') {
        ++length;
    }
    return length;
}

// The spellings of each file that pending names are compared with: its
// forms, their lengths, and the lengths of their components (one bit per
// length below 64, the last bit for the others), set up once the forms are
// known, so that a long list is mostly told apart by lengths alone.
struct Spellings {
    const WCHAR *forms[3];
    DWORD lengths[3];
    int count;
    unsigned long long componentLengths;
} spellings[2];

void SetUpSpellings() {
    for (int file = SourceFile; file <= DestinationFile; ++file) {
        Spellings &spelt = spellings[file];
        spelt.count = FileForms(file, spelt.forms);
        spelt.componentLengths = 0;
        for (int form = 0; form < spelt.count; ++form) {
            spelt.lengths[form] = TextLength(spelt.forms[form]);
            for (const WCHAR *component = spelt.forms[form];; ++component) {
                const DWORD length = ComponentLength(component);
                spelt.componentLengths |= 1ULL << (length < 63 ? length : 63);
                component += length;
                if (*component == 0) {
                    break;
                }
            }
        }
    }
}

// Whether a name's last component is, as the file system compares, one of
// the components of a form of the file's path: only then may it name the
// file, or a folder that holds it, by another spelling (a short name, a
// junction, a volume). So a long list costs no opening of unrelated names.
bool SharesLastComponent(const WCHAR *last, DWORD length, int file) {
    const Spellings &spelt = spellings[file];
    if ((spelt.componentLengths & 1ULL << (length < 63 ? length : 63)) == 0) {
        return false;
    }
    for (int form = 0; form < spelt.count; ++form) {
        for (const WCHAR *component = spelt.forms[form];; ++component) {
            const DWORD componentLength = ComponentLength(component);
            if (componentLength == length && SameUnits(last, component, length)) {
                return true;
            }
            component += componentLength;
            if (*component == 0) {
                break;
            }
        }
    }
    return false;
}

// A pending name as it is compared: as read, in Windows' notation for local
// paths, its length there, and its last component. Worked out once for both
// files, as a long list makes this the cost of a run.
struct PendingName {
    const WCHAR *name, *local, *last;
    DWORD length, lastLength;
};

PendingName Spelt(const WCHAR *name) {
    PendingName spelt = {name, LocalPath(name), nullptr, 0, 0};
    spelt.last = FileName(spelt.local);
    spelt.lastLength = TextLength(spelt.last);
    spelt.length = static_cast<DWORD>(spelt.last - spelt.local) + spelt.lastLength;
    return spelt;
}

// Whether a name is on the network: \\server\..., \\?\UNC\..., the
// redirector's devices, or a drive letter of a network drive. The restart
// runs before the network, so such a name cannot touch a local file, and
// opening it may wait on the network while the lock is held.
bool IsNetworkName(const WCHAR *name) {
    const WCHAR *local = LocalPath(name);
    if (local[0] != '\\') {
        const WCHAR root[] = {local[0], ':', '\\', 0};
        return local[1] == ':' && DriveType(root) == DRIVE_REMOTE;
    }
    static const char *const network[] = {"\\\\?\\UNC\\", "\\Device\\Mup\\", "\\\\?\\GLOBALROOT\\Device\\Mup\\",
                                          "\\Device\\LanmanRedirector\\"};
    for (const char *prefix : network) {
        if (StartsWith(local, prefix)) {
            return true;
        }
    }
    return local[1] == '\\' && local[2] != '?' && local[2] != '.';
}

// Whether a pending name names the file, or a folder that holds it: by its
// spelling in any of the file's forms, and on NT by what it names, the
// identity of the file or folder it opens. A name that does not exist, and
// one on the network, is compared by its spelling alone.
Touch Touches(const PendingName &pending, int file) {
    const Spellings &spelt = spellings[file];
    const WCHAR *local = pending.local;
    const DWORD length = pending.length;
    for (int form = 0; form < spelt.count; ++form) {
        const WCHAR *spelling = spelt.forms[form];
        if (spelt.lengths[form] == length && SameUnits(local, spelling, length)) {
            return Touch::File;
        }
        if (spelt.lengths[form] > length && length > 0 && spelling[length] == '\\' &&
            SameUnits(local, spelling, length)) {
            return Touch::Folder;
        }
    }
    if (!NamesAreUnicode() || !SharesLastComponent(pending.last, pending.lastLength, file) ||
        IsNetworkName(pending.name)) {
        return Touch::Nothing;
    }
    // The Session Manager opens an NT object name as it is written.
    const WCHAR *name = pending.name;
    if (name[0] == '\\' && name[1] != '\\') {
        if (!CopyText(objectName, L"\\\\?\\GLOBALROOT") || !CopyText(objectName, name, 14)) {
            return Touch::Nothing;
        }
        name = objectName;
    }
    FileId id;
    const DWORD final = OpenedFileFacts(name, pendingFinal, id);
    if (IsSameId(id, request.ids[file])) {
        // The same file by another name: from Vista on its final path tells
        // whether it is the same name or another hard link, which the
        // restart renames or deletes alone.
        if (final == ERROR_SUCCESS && request.realPaths[file][0] != 0) {
            return SameName(LocalPath(pendingFinal), LocalPath(request.realPaths[file])) ? Touch::File
                                                                                        : Touch::Nothing;
        }
        return Touch::SameFile;
    }
    if (!folders.read) {
        ReadFolderIds();
    }
    for (DWORD folder = 0; folder < folders.count[file]; ++folder) {
        if (IsSameId(id, folders.ids[file][folder])) {
            return Touch::Folder;
        }
    }
    return Touch::Nothing;
}

// Moves already pending run first, in the order they were registered, and
// this one acts on what they leave: "a b" then "b a" leaves only a, with A's
// content; "a b" then "b c" loses B; "a c" then "b c" loses A; a folder
// that holds the file, moved or replaced, takes it along or puts another in
// its place. So a file that already takes part in a pending move or delete,
// or lies in a folder that does, is refused until a restart has carried that
// out. The very pair already pending, in the list that runs first, is not
// registered twice; anywhere else it is registered again, which is harmless:
// its Source is gone when the second runs.
bool FindsConflict(const PendingMove &move) {
    const bool deletes = move.destination[0] == 0;
    const PendingName source = Spelt(move.source), destination = Spelt(move.destination);
    Touch sources[2], destinations[2];
    for (int file = SourceFile; file <= DestinationFile; ++file) {
        sources[file] = Touches(source, file);
        destinations[file] = deletes ? Touch::Nothing : Touches(destination, file);
    }
    if (move.replaces && sources[SourceFile] == Touch::File && destinations[DestinationFile] == Touch::File) {
        request.alreadyPending = request.alreadyPending || move.list == 0;
        return false;
    }
    for (int file = SourceFile; file <= DestinationFile; ++file) {
        const Touch source = sources[file], destination = destinations[file];
        if (source == Touch::File || destination == Touch::File || source == Touch::SameFile ||
            destination == Touch::SameFile) {
            request.reason = deletes ? InPendingDelete : InPendingMove;
        } else if (source == Touch::Folder) {
            request.reason = deletes ? FolderInPendingDelete : FolderInPendingMove;
        } else if (destination == Touch::Folder) {
            request.reason = FolderReplacedByPendingMove;
        } else {
            continue;
        }
        request.pendingFile = file;
        CopyText(request.detail, LocalPath(move.source));
        CopyText(request.otherDetail, LocalPath(move.destination));
        return true;
    }
    return false;
}

}  // namespace

// Until the registration has been read back, no other registration may
// read or write the lists; one that cannot be read is refused, nothing is
// registered blindly.
bool CannotReadPending(Request &request, int) {
    SetUpSpellings();
    folders.read = false;
    DWORD error = LockPendingLists();
    if (error == ERROR_SUCCESS) {
        error = ForEachPendingMove(request.mechanism, FindsConflict, request.counts);
    }
    if (error != ERROR_SUCCESS) {
        request.reason = error == WAIT_TIMEOUT          ? DWORD{PendingListsBusy}
                         : error == ERROR_ALREADY_EXISTS ? DWORD{LockNameTaken}
                                                         : error;
        CopyText(request.detail, error == ERROR_ALREADY_EXISTS ? PendingLockName() : L"");
    }
    return error != ERROR_SUCCESS;
}

namespace {

// The moves read back so far in each list, and whether one after those
// counted before the registration is the one registered: by the final paths
// on NT, the short ones on 95/98.
DWORD readBack[2];
bool kept;

bool NotesOurs(const PendingMove &move) {
    const bool wininit = request.mechanism == DeferMechanism::StartupRenameList;
    const WCHAR(&registered)[2][MaxPath] = wininit ? request.shortPaths : request.realPaths;
    // The first it finds ends the reading.
    kept = readBack[move.list]++ >= request.counts[move.list] && move.replaces &&
           SameName(LocalPath(move.source), LocalPath(registered[SourceFile])) &&
           SameName(LocalPath(move.destination), LocalPath(registered[DestinationFile]));
    return kept;
}

}  // namespace

// Still holding the lock: the registration must be among the moves after
// those the lists held before it, exactly as registered; another program
// may have added its own after it. Where the lists cannot be read again,
// the registration may stand: nothing tells.
DWORD ReadBack() {
    DWORD counts[2];
    readBack[0] = readBack[1] = 0;
    kept = false;
    if (ForEachPendingMove(request.mechanism, NotesOurs, counts) != ERROR_SUCCESS) {
        return RequestMayBeKept;
    }
    return kept ? DWORD{ERROR_SUCCESS} : DWORD{RequestNotKept};
}

bool IsPending(Request &request, int file) { return request.pendingFile == file; }
