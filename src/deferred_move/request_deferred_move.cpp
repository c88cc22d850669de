// Registering the move of Source onto Destination for the next start, once
// it is certain that the start can carry it out.
#include "deferred_move.h"

#include "../win32/pending_lists.h"

namespace {

const int SourceFile = 0;
const int DestinationFile = 1;

// One request, as the checks before its registration see it: each path by
// file, Source's first.
struct Request {
    DeferMechanism mechanism;
    WCHAR paths[2][MaxPath];      // the full paths found, drive letters that stand for a folder replaced
    WCHAR realPaths[2][MaxPath];  // where the files really lie, as NT registers them (below)
    FileId ids[2];                // the files' identities (NT); zero where unknown
    WCHAR volumes[2][MaxPath];    // the roots of the volumes that hold them; empty where unknown
    bool shortened;               // whether the short (8.3) forms below are filled
    WCHAR shortPaths[2][MaxPath];
    int pendingFile;              // the file that takes part in a move already pending, or -1
    bool alreadyPending;          // the very pair is pending already
    DWORD counts[2];              // the moves pending in each list before the registration
    bool lastIsOurs[2];           // whether each list's last move, read again, is the one registered
    DWORD reason;                 // why a check refused it
    WCHAR detail[MaxPath];        // what the report names besides the argument
    WCHAR otherDetail[MaxPath];
};

// Too large for the stack.
Request request;
WCHAR scratch[MaxPath];

// The identities of the folders that hold each file, from its own folder
// up, read once, when a pending name first needs them (NT).
struct Folders {
    bool read;
    DWORD count[2];
    FileId ids[2][MaxPath / 2];
} folders;

// The checks, each of which may refuse the request and set its reason. The
// Session Manager (NT) and WININIT (95/98) run the moves early in the start,
// as plain renames, and drop what they cannot carry out without a word.

// A drive letter that stands for a folder (SUBST, DefineDosDevice, or the
// registry's DOS Devices list) names \??\C:\work where a disk's names a
// device. SUBST letters belong to the logon session and do not exist at the
// restart, so the path is registered by the folder the letter stands for
// (which also serves a letter that does exist then), and every other check
// judges that path. A letter that stands for anything else is refused.
// QueryDosDevice is NT's. Then where the file really lies: its real path
// (Vista on) and the root of the volume that holds it (2000 on).
bool CannotLocate(Request &request, int file) {
    WCHAR(&path)[MaxPath] = request.paths[file];
    WCHAR *target = request.detail;
    for (int depth = 0; depth < 8; ++depth) {  // a letter may stand for a folder on another
        const WCHAR *local = LocalPath(path);
        const WCHAR letter[] = {local[0], ':', 0};
        if (local[1] != ':' || DosDeviceTarget(letter, target, MaxPath) == 0 || target[0] != '\\' ||
            target[1] != '?' || target[2] != '?' || target[3] != '\\') {
            break;
        }
        target += 4;
        request.reason = OnSubstDrive;
        if (target[1] != ':') {
            CopyText(request.detail, target);
            return true;
        }
        // C:\work and \dst.txt, with one backslash between them.
        DWORD length = TextLength(target);
        length -= target[length - 1] == '\\' ? 1 : 0;
        if (!CopyText(scratch, target) || !CopyText(scratch, local + 2, length) ||
            !CopyText(path, scratch)) {
            request.reason = ERROR_FILENAME_EXCED_RANGE;
            return true;
        }
        target = request.detail;
    }
    // From Vista on, a file is registered by its final path, by a drive
    // letter that exists at the restart: SUBST and DefineDosDevice letters
    // (whatever their target) and junctions on the way are gone from it. A
    // file on a volume without a drive letter cannot be reached at the
    // restart. Before Vista, or where Windows gives no final path for
    // another reason, by its path with the letters above replaced.
    request.detail[0] = 0;
    WCHAR(&real)[MaxPath] = request.realPaths[file];
    if (OpenedFileFacts(path, real, request.ids[file]) == ERROR_PATH_NOT_FOUND) {
        request.reason = NoFinalPath;
        return true;
    }
    if (!CopyText(scratch, real[0] != 0 ? LocalPath(real) : path) || !CopyText(real, scratch)) {
        real[0] = 0;
    }
    if (!VolumePathName(LocalPath(request.realPaths[file]), request.volumes[file], MaxPath)) {
        request.volumes[file][0] = 0;
    }
    return false;
}

// The root of the drive or volume a full path begins with, X:\ or
// \\?\Volume{GUID}\; false for any other path.
bool DriveRoot(const WCHAR *path, WCHAR (&root)[50]) {
    const WCHAR volume[] = L"\\\\?\\Volume{";
    DWORD length = path[1] == ':' ? 2 : 0;
    if (length == 0) {
        while (length < 11 && path[length] == volume[length]) {
            ++length;
        }
        length = length == 11 && TextLength(path) >= 49 && path[47] == '}' ? 48 : 0;
    }
    if (length == 0 || (path[length] != '\\' && path[length] != 0)) {
        return false;
    }
    for (DWORD i = 0; i < length; ++i) {
        root[i] = path[i];
    }
    root[length] = '\\';
    root[length + 1] = 0;
    return true;
}

// A rename moves a whole file. A stream (a.txt:s, a.txt::$DATA) cannot be
// moved onto a file, and the restart drops such a move.
bool NamesStream(Request &request, int file) {
    request.reason = StreamName;
    for (const WCHAR *c = FileName(LocalPath(request.paths[file])); *c != 0; ++c) {
        if (*c == ':') {
            return true;
        }
    }
    return false;
}

// Deferred moves run before the network is available; removable media may be
// absent then, a CD cannot be written and a RAM disk starts empty. Only a
// fixed local disk is certain to be there. What counts is the volume that
// holds the file: one mounted in a folder, or reached through a link, is
// judged by itself, not by the drive letter.
bool IsOffFixedDisk(Request &request, int file) {
    const WCHAR *path = LocalPath(request.realPaths[file]);
    WCHAR root[50];
    request.reason = OnNetworkDrive;
    if (!DriveRoot(path, root)) {
        // \\server\share\..., \\?\UNC\..., or any other \\ form; the
        // rest is left to the drive comparison.
        return path[0] == '\\' && path[1] == '\\';
    }
    const WCHAR *volume = request.volumes[file];
    const UINT type = DriveType(volume[0] != 0 ? LocalPath(volume) : root);
    if (type != DRIVE_REMOTE) {
        request.reason = NotOnFixedDisk;
    }
    return type != DRIVE_FIXED;
}

// The restart may follow a link and move the file it points to. Only a
// name surrogate (bit 29 of the reparse tag) is a link: symbolic links,
// junctions and mount points. Compressed (WOF), deduplicated and cloud files
// carry a reparse point too, and are files.
bool IsLink(Request &request, int file) {
    const DWORD attributes = FileAttributes(request.paths[file]);
    WIN32_FIND_DATAW data;
    request.reason = LinkNotFile;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           (!FindFileData(request.paths[file], data) || (data.dwReserved0 & 0x20000000) != 0);
}

// Both mechanisms rename, and a rename cannot leave its drive...
bool IsOnOtherDrive(Request &request, int) {
    WCHAR roots[2][50];
    request.reason = ERROR_NOT_SAME_DEVICE;
    return !DriveRoot(LocalPath(request.realPaths[SourceFile]), roots[SourceFile]) ||
           !DriveRoot(LocalPath(request.realPaths[DestinationFile]), roots[DestinationFile]) ||
           !SameName(roots[SourceFile], roots[DestinationFile]);
}

// ... nor its volume, which may be mounted in a folder of the drive or
// reached through a junction. GetVolumePathName is from Windows 2000 on.
bool IsOnOtherVolume(Request &request, int) {
    const WCHAR *source = request.volumes[SourceFile];
    const WCHAR *destination = request.volumes[DestinationFile];
    request.reason = ERROR_NOT_SAME_DEVICE;
    return source[0] != 0 && destination[0] != 0 && !SameName(LocalPath(source), LocalPath(destination));
}

// The short forms tell a long name from its own short form. Windows 95 and
// 98 need them for the entry, so there a failure ends the request; on NT
// they only serve the comparison of the two names.
bool CannotShorten(Request &request, int) {
    request.shortened = ShortenPath(request.paths[SourceFile], request.shortPaths[SourceFile]) &&
                        ShortenPath(request.paths[DestinationFile], request.shortPaths[DestinationFile]);
    if (request.shortened || request.mechanism != DeferMechanism::StartupRenameList) {
        return false;
    }
    request.reason = GetLastError();
    return true;
}

// The forms of a file's path a name may be spelt in, in Windows' notation
// for local paths: as found, as it really is, and its short form.
int FileForms(int file, const WCHAR *(&forms)[3]) {
    forms[0] = LocalPath(request.paths[file]);
    forms[1] = LocalPath(request.realPaths[file]);
    forms[2] = LocalPath(request.shortPaths[file]);
    return request.shortened ? 3 : 2;
}

// Whether two identities are known and one file's.
bool IsSameId(const FileId &first, const FileId &second) {
    return (first.volume | first.indexHigh | first.indexLow) != 0 && first.volume == second.volume &&
           first.indexHigh == second.indexHigh && first.indexLow == second.indexLow;
}

// Whether a name is one of a file's.
bool IsNameOf(const WCHAR *name, int file) {
    const WCHAR *forms[3];
    const int count = FileForms(file, forms);
    name = LocalPath(name);
    for (int form = 0; form < count; ++form) {
        if (SameName(name, forms[form])) {
            return true;
        }
    }
    return false;
}

bool IsSameFile(Request &request, int) {
    // By any of their names, and on NT by their identity, which also
    // tells a hard link.
    request.reason = SameFile;
    return IsNameOf(request.paths[SourceFile], DestinationFile) ||
           IsNameOf(request.realPaths[SourceFile], DestinationFile) ||
           (request.shortened && IsNameOf(request.shortPaths[SourceFile], DestinationFile)) ||
           IsSameId(request.ids[SourceFile], request.ids[DestinationFile]);
}

// NTFS refuses to replace a read-only file, and DOS to delete one.
bool IsReadOnly(Request &request, int file) {
    const DWORD attributes = FileAttributes(request.paths[file]);
    request.reason = ReadOnlyFile;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// On 95/98 the file would exist under its short name only after the
// restart, and programs that open the long name would no longer find it.
// The file's own long name counts, however the Destination was typed (its
// short name names the same file); FindFirstFile gives both.
bool KeepsOnlyShortName(Request &request, int file) {
    if (request.mechanism != DeferMechanism::StartupRenameList) {
        return false;
    }
    WIN32_FIND_DATAW data;
    const WCHAR *longName = FileName(request.paths[file]);
    const WCHAR *shortName = FileName(request.shortPaths[file]);
    if (FindFileData(request.paths[file], data)) {
        longName = data.cFileName;
        // No short name of its own: the long one is a valid short name.
        shortName = data.cAlternateFileName[0] != 0 ? data.cAlternateFileName : longName;
    }
    CopyText(request.detail, shortName);
    request.reason = ShortNameOnly;
    return !SameName(longName, shortName);
}

// How a pending name bears on a file of the request.
enum class Touch { Nothing, File, Folder };

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

// Whether a pending name names the file, or a folder that holds it: by its
// spelling in any of the file's forms, and on NT by what it names, the
// identity of the file or folder it opens. A name that does not exist is
// compared by its spelling alone.
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
    FileId id;
    if (!NamesAreUnicode() || !SharesLastComponent(pending.last, pending.lastLength, file) ||
        !FileIdentity(pending.name, id)) {
        return Touch::Nothing;
    }
    if (IsSameId(id, request.ids[file])) {
        return Touch::File;
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
        if (source == Touch::File || destination == Touch::File) {
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

// Until the registration has been read back, no other registration may
// read or write the lists; one that cannot be read is refused, nothing is
// registered blindly.
bool CannotReadPending(Request &request, int) {
    SetUpSpellings();
    DWORD error = LockPendingLists();
    if (error == ERROR_SUCCESS) {
        error = ForEachPendingMove(request.mechanism, FindsConflict, request.counts);
    }
    if (error != ERROR_SUCCESS) {
        request.reason = error == WAIT_TIMEOUT ? PendingListsBusy : error;
    }
    return error != ERROR_SUCCESS;
}

// Notes whether a move read back is the one registered: by the final paths
// on NT, the short ones on 95/98.
bool NotesOurs(const PendingMove &move) {
    const bool wininit = request.mechanism == DeferMechanism::StartupRenameList;
    const WCHAR(&registered)[2][MaxPath] = wininit ? request.shortPaths : request.realPaths;
    request.lastIsOurs[move.list] = move.replaces &&
                                    SameName(LocalPath(move.source), LocalPath(registered[SourceFile])) &&
                                    SameName(LocalPath(move.destination), LocalPath(registered[DestinationFile]));
    return false;
}

// Still holding the locks: the registration must be the last move of the
// list it was added to, one more than that list held, exactly as registered.
bool WasKept() {
    DWORD counts[2];
    request.lastIsOurs[0] = request.lastIsOurs[1] = false;
    if (ForEachPendingMove(request.mechanism, NotesOurs, counts) != ERROR_SUCCESS) {
        return false;
    }
    for (int list = 0; list < 2; ++list) {
        if (counts[list] == request.counts[list] + 1 && request.lastIsOurs[list]) {
            return true;
        }
    }
    return false;
}

bool IsPending(Request &request, int file) { return request.pendingFile == file; }

// A rename keeps the file's own permissions, so after the restart
// Destination has Source's. Where users who are not administrators can
// change Source (or delete it from its folder and put another in its
// place) but not Destination, they could choose what lands there until the
// restart, and change it after. Where Destination is just as open, nothing
// new is let in; where a DACL cannot be read, nothing is judged.
const DWORD FileChanges = FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER | DELETE;

bool IsOpenToUsers(Request &request, int) {
    request.reason = OpenToUsers;
    if (!NamesAreUnicode() || RightsOfUsers(request.realPaths[DestinationFile], FileChanges) != UsersMay::NotChange) {
        return false;
    }
    // The folder, with its backslash: a root too is a folder then.
    if (!CopyText(scratch, request.realPaths[SourceFile])) {
        return false;
    }
    *const_cast<WCHAR *>(FileName(scratch)) = 0;
    return RightsOfUsers(request.realPaths[SourceFile], FileChanges) == UsersMay::Change ||
           RightsOfUsers(scratch, FILE_DELETE_CHILD) == UsersMay::Change;
}

enum class Files { Source, Destination, Each };  // Each: Source's, then Destination's

struct Check {
    bool (*refuses)(Request &request, int file);
    Files files;        // the file checked, whose argument the report names
    ExitStatus status;  // the status a refusal ends with
};

// In this order; the README lists it.
const Check checks[] = {
    {NamesStream, Files::Each, CannotCarryOut},
    {CannotLocate, Files::Each, CannotCarryOut},
    {IsOffFixedDisk, Files::Each, CannotCarryOut},
    {IsLink, Files::Each, CannotCarryOut},
    {IsOnOtherDrive, Files::Source, CannotCarryOut},
    {IsOnOtherVolume, Files::Source, CannotCarryOut},
    {CannotShorten, Files::Source, RegistrationFailed},
    {IsSameFile, Files::Source, CannotCarryOut},
    {IsReadOnly, Files::Destination, CannotCarryOut},
    {KeepsOnlyShortName, Files::Destination, CannotCarryOut},
    {CannotReadPending, Files::Source, RegistrationFailed},
    {IsPending, Files::Each, CannotCarryOut},
    {IsOpenToUsers, Files::Source, CannotCarryOut},
};

ExitStatus Refuse(const WCHAR *argument, DWORD reason, ExitStatus status = CannotCarryOut) {
    SetLastError(reason);
    ReportFailure(argument, request.detail, request.otherDetail);
    // On 95/98 there is nothing to elevate.
    if (status == RegistrationFailed && request.mechanism == DeferMechanism::ReplaceAtReboot) {
        ReportMissingRights(reason);
    }
    return status;
}

// Adds "destination=source" to the [rename] section of wininit.ini in the
// Windows directory, by the short (8.3) names: Windows 95 and 98 carry that
// section out before long file names are available. The second call writes
// the system's cached copy of the file out to disk; it is documented to
// return FALSE, so its result says nothing.
bool AddToStartupRenameList(const WCHAR *shortSource, const WCHAR *shortDestination) {
    if (!AddRenameEntry(shortSource, shortDestination)) {
        return false;
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "wininit.ini");
    return true;
}

// The request, up to its registration read back; the locks may still be
// held when it returns.
ExitStatus Register(const WCHAR *source, const WCHAR *destination, DeferMechanism mechanism) {
    const WCHAR *arguments[] = {source, destination};
    request.mechanism = mechanism;
    request.shortened = false;
    request.pendingFile = -1;
    request.alreadyPending = false;
    request.detail[0] = request.otherDetail[0] = 0;
    folders.read = false;

    // From here to the registration the program looks at the file system as
    // the restart will: on 64-bit Windows, System32 is the native one. The
    // failure report turns the redirector on again, before it loads USER32.
    TurnRedirectionOff();

    for (int file = SourceFile; file <= DestinationFile; ++file) {
        // A name through Sysnative is refused before its search, which
        // cannot see that folder with the redirector off.
        if (GoesThroughSysnative(arguments[file])) {
            return Refuse(arguments[file], ThroughSysnative);
        }
        if (!ResolveOnSearchPath(arguments[file], request.paths[file])) {
            ReportFailure(arguments[file]);
            return file == SourceFile ? SourceNotFound : DestinationNotFound;
        }
    }

    // Refuse what the next start cannot carry out, before anything is
    // registered: a request the system drops at the restart, or one that
    // destroys a file, must not be announced as done.
    for (const Check &check : checks) {
        for (int file = SourceFile; file <= DestinationFile; ++file) {
            const Files checked = file == SourceFile ? Files::Source : Files::Destination;
            if ((check.files == Files::Each || check.files == checked) &&
                check.refuses(request, file)) {
                return Refuse(arguments[file], request.reason, check.status);
            }
        }
    }

    // The very pair already pending is not registered again.
    if (request.alreadyPending) {
        TurnRedirectionOn();
        return Success;
    }
    bool registered = false;
    switch (mechanism) {
    case DeferMechanism::ReplaceAtReboot:
        registered = MoveAtReboot(request.realPaths[SourceFile], request.realPaths[DestinationFile]) != FALSE;
        break;
    case DeferMechanism::StartupRenameList:
        registered = AddToStartupRenameList(request.shortPaths[SourceFile],
                                            request.shortPaths[DestinationFile]);
        break;
    case DeferMechanism::None:
        // Nothing can be registered without a mechanism: never report
        // success.
        SetLastError(ERROR_NOT_SUPPORTED);
        break;
    }
    if (registered && !WasKept()) {
        registered = false;
        SetLastError(RequestNotKept);
    }
    if (!registered) {
        return Refuse(source, GetLastError(), RegistrationFailed);
    }
    TurnRedirectionOn();
    return Success;
}

}  // namespace

ExitStatus RequestDeferredMove(const WCHAR *source, const WCHAR *destination,
                               DeferMechanism mechanism) {
    const ExitStatus status = Register(source, destination, mechanism);
    UnlockPendingLists();
    return status;
}
