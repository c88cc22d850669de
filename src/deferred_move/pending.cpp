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
// paths, its length there, and its last component; and whether the restart
// cannot open it at all. A trailing backslash names the folder before it,
// and is left out of the length (but for a root's, C:\ or a volume's); the
// restart opens such a name only as a folder, never as a file. Worked out
// once for both files, as a long list makes this the cost of a run.
struct PendingName {
    const WCHAR *name, *local, *last;
    DWORD length, lastLength;
    bool foreign, folderOnly;
};

PendingName Spelt(const WCHAR *name, bool foreign) {
    PendingName spelt = {name, LocalPath(name), nullptr, TextLength(name), 0, foreign, false};
    spelt.length -= static_cast<DWORD>(spelt.local - name);
    if (spelt.length > 1 && spelt.local[spelt.length - 1] == '\\' &&
        spelt.length != RootLength(spelt.local) + 1) {
        --spelt.length;
        spelt.folderOnly = true;
    }
    spelt.last = spelt.local + spelt.length;
    while (spelt.last > spelt.local && spelt.last[-1] != '\\') {
        --spelt.last;
    }
    spelt.lastLength = spelt.length - static_cast<DWORD>(spelt.last - spelt.local);
    return spelt;
}

// What the restart finds at a pending name, as far as Quarvel may look:
// a local disk, where opening the name tells which file it is; something
// it must not open, a pipe, a mailslot, the network or another device (its
// server would learn who asks, and an administrator's credentials would be
// sent), compared by spelling alone; or nothing, as its drive letter is one
// of this logon session's (SUBST, DefineDosDevice), gone at the restart.
enum class Reach { Unknown, Disk, Spelling, Gone };
Reach letters[26];

// A letter that stands for a folder names \??\C:\work (SUBST) or, made
// with DefineDosDevice, a folder of a volume, \Device\HarddiskVolume3\dir
// (NT 4.0's own letters name \Device\Harddisk0\Partition1). The registry's
// DOS Devices list makes such letters too, before the moves run.
Reach LetterReach(WCHAR letter) {
    const int index = (letter | 0x20) - 'a';
    if (index < 0 || index >= 26) {
        return Reach::Spelling;
    }
    if (letters[index] == Reach::Unknown) {
        const WCHAR device[] = {letter, ':', 0}, root[] = {letter, ':', '\\', 0};
        // Where it cannot be asked, or the target is too long for a disk's
        // or a folder's, the drive's type alone tells.
        WCHAR target[MAX_PATH] = {0};
        bool standsForFolder;
        if (DosDeviceTarget(device, target, MAX_PATH) != 0 && StartsWith(target, "\\Device\\") &&
            !(StartsWith(target, "\\Device\\Harddisk") && target[16] >= '0' && target[16] <= '9')) {
            // The device's own name is one component, a dynamic volume's
            // three (\Device\HarddiskDmVolumes\PhysicalDmVolumes\BlockVolume1).
            const WCHAR *folder = target + 8;
            for (int parts = StartsWith(folder, "HarddiskDmVolumes\\") ? 3 : 1; parts > 0; --parts) {
                while (*folder != 0 && *folder != '\\') {
                    ++folder;
                }
                folder += parts > 1 && *folder != 0 ? 1 : 0;
            }
            standsForFolder = *folder != 0 && folder[1] != 0;
        } else {
            standsForFolder = StartsWith(target, "\\??\\");
        }
        bool gone = false;
        if (standsForFolder) {
            TurnRedirectionOn();  // ADVAPI32 may be loaded
            gone = !DefinedAtStart(device);
            TurnRedirectionOff();
        }
        const UINT type = gone ? DRIVE_UNKNOWN : DriveType(root);
        const bool disk =
            type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_CDROM || type == DRIVE_RAMDISK;
        letters[index] = gone ? Reach::Gone : disk ? Reach::Disk : Reach::Spelling;
    }
    return letters[index];
}

// Only names on a disk volume are opened: by a drive letter, a volume's
// name, or the name of a disk volume's device (GLOBALROOT, or the object
// name as written), and the Windows folder's own link.
Reach Reached(const PendingName &pending) {
    if (pending.local != pending.name) {
        return LetterReach(pending.local[0]);
    }
    // \Device\Harddisk: a volume, NT 4.0's partition or a dynamic volume.
    static const char *const disks[] = {"\\\\?\\Volume{", "\\\\?\\GLOBALROOT\\Device\\Harddisk",
                                        "\\Device\\Harddisk", "\\SystemRoot\\"};
    for (const char *prefix : disks) {
        if (StartsWith(pending.name, prefix)) {
            return Reach::Disk;
        }
    }
    return Reach::Spelling;
}

// Whether a pending name that differs from a form of the file's path only
// in case names another file all the same: where a folder on the way tells
// names apart by case, the component in it that differs is another one.
bool ApartByCase(const PendingName &pending, const WCHAR *spelling) {
    if (!NamesAreUnicode()) {
        return false;  // 95/98: FAT ignores case
    }
    DWORD component = 0;
    for (DWORD at = 0; at < pending.length; ++at) {
        if (spelling[at] == '\\') {
            component = at + 1;
        } else if (pending.local[at] != spelling[at]) {
            // The folder that holds the component, C:\ with its backslash.
            const DWORD length = component > 1 && spelling[component - 2] != ':' ? component - 1 : component;
            if (component > 1 && CopyText(scratch, spelling)) {
                scratch[length] = 0;
                if (IsCaseSensitiveFolder(scratch)) {
                    return true;
                }
            }
            while (at + 1 < pending.length && spelling[at + 1] != '\\') {
                ++at;
            }
        }
    }
    return false;
}

// Whether a name is spelt as a form of the file's path (or of a folder on
// it, up to a backslash there): exactly, or only as the file system's
// upper-casing makes it the same.
enum class Spelling { Other, Same, SameButCase };

Spelling Compared(const WCHAR *name, const WCHAR *spelling, DWORD length) {
    if (!SameUnits(name, spelling, length)) {
        return Spelling::Other;
    }
    for (DWORD at = 0; at < length; ++at) {
        if (name[at] != spelling[at]) {
            return Spelling::SameButCase;
        }
    }
    return Spelling::Same;
}

// Whether a pending name names the file, or a folder that holds it, as the
// restart will read it: never where it cannot open the name; by its
// spelling in any of the file's forms; on NT by what it names, the identity
// of the file or folder it opens, which also judges a name that differs only
// in case. A name that does not exist is the same in another case unless a
// folder tells them apart; one that is not opened is compared by its
// spelling alone.
Touch Touches(const PendingName &pending, int file) {
    const Spellings &spelt = spellings[file];
    const WCHAR *local = pending.local;
    const DWORD length = pending.length;
    if (pending.foreign) {
        return Touch::Nothing;
    }
    // Spelt exactly as one form, or else the same but for case as one.
    Touch bySpelling = Touch::Nothing;
    const WCHAR *caseOnly = nullptr;
    for (int form = 0; form < spelt.count; ++form) {
        const WCHAR *spelling = spelt.forms[form];
        const bool whole = spelt.lengths[form] == length;
        if (!whole && !(spelt.lengths[form] > length && length > 0 && spelling[length] == '\\')) {
            continue;
        }
        const Spelling compared = Compared(local, spelling, length);
        if (compared == Spelling::Same) {
            bySpelling = whole ? Touch::File : Touch::Folder;
            caseOnly = nullptr;
            break;
        }
        if (compared == Spelling::SameButCase && caseOnly == nullptr) {
            bySpelling = whole ? Touch::File : Touch::Folder;
            caseOnly = spelling;
        }
    }
    const bool opens = NamesAreUnicode() && SharesLastComponent(pending.last, pending.lastLength, file);
    if (bySpelling == Touch::Nothing && !opens) {
        return Touch::Nothing;
    }
    const Reach reach = Reached(pending);
    if (reach == Reach::Gone) {
        return Touch::Nothing;
    }
    if (bySpelling != Touch::Nothing && caseOnly == nullptr) {
        return bySpelling;  // spelt exactly
    }
    FileId id = {};
    DWORD final = ERROR_CALL_NOT_IMPLEMENTED;
    if (reach == Reach::Disk && opens) {
        // The Session Manager opens an NT object name as it is written.
        const WCHAR *name = pending.name;
        if (name[0] == '\\' && name[1] != '\\') {
            if (!CopyText(objectName, L"\\\\?\\GLOBALROOT") || !CopyText(objectName, name, 14)) {
                return bySpelling;
            }
            name = objectName;
        }
        final = OpenedFileFacts(name, pendingFinal, id);
    }
    if (!IsSameId(id, id) || (caseOnly != nullptr && !IsSameId(request.ids[file], request.ids[file]))) {
        // Not opened, or the file's own identity unknown: by its spelling.
        return caseOnly != nullptr && ApartByCase(pending, caseOnly) ? Touch::Nothing : bySpelling;
    }
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
    const PendingName source = Spelt(move.source, move.foreign[0]),
                      destination = Spelt(move.destination, move.foreign[1]);
    Touch sources[2], destinations[2];
    for (int file = SourceFile; file <= DestinationFile; ++file) {
        sources[file] = Touches(source, file);
        destinations[file] = deletes ? Touch::Nothing : Touches(destination, file);
    }
    // A name with a trailing backslash opens only as a folder: for a file
    // the restart drops the entry, which is then no such pair (it is
    // refused as any entry that names the file is).
    if (move.replaces && sources[SourceFile] == Touch::File && destinations[DestinationFile] == Touch::File &&
        !source.folderOnly && !destination.folderOnly) {
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
    for (Reach &letter : letters) {
        letter = Reach::Unknown;
    }
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
