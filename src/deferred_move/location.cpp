// Where each file lies, and whether the restart can reach it there: drive
// letters that stand for folders, final paths, volumes, drive types, links,
// streams, another drive or volume; disks that come late, and what Windows
// 11 refuses.
#include "request.h"

#include "../win32/volumes.h"

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
    // The final path stays in the \\?\ form, in which Windows takes it as
    // it is: \\?\C:\d\a. is the file a., where C:\d\a. would be tidied
    // into C:\d\a, another file.
    if (real[0] == 0 && !CopyText(real, path)) {
        real[0] = 0;
    }
    if (!VolumePathName(LocalPath(request.realPaths[file]), request.volumes[file], MaxPath)) {
        request.volumes[file][0] = 0;
    }
    return false;
}

namespace {

// The root of the drive or volume a full path begins with, X:\ or
// \\?\Volume{GUID}\; false for any other path.
bool DriveRoot(const WCHAR *path, WCHAR (&root)[50]) {
    const DWORD length = RootLength(path);
    if (length == 0) {
        return false;
    }
    for (DWORD i = 0; i < length; ++i) {
        root[i] = path[i];
    }
    root[length] = '\\';
    root[length + 1] = 0;
    return true;
}

}  // namespace

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
// carry a reparse point too, and are files (which Windows 11 refuses, below).
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

namespace {

// From these builds on, Windows 11's Session Manager refuses reparse points
// that are no links (seen in 23H2 and 24H2, not in the 22H2 decompilation;
// 22H2 and 23H2 share one code base and its updates, hence its first build),
// and its kernel attaches the virtual disks listed for boot (22H2 on).
const DWORD RefusesReparsePoints = 22000;
const DWORD AttachesListedDisks = 22621;

// The running NT's build, as GetVersion gives it (with the manifest's
// supportedOS entries, Windows 10 and 11 report 10.0 and their own build);
// 0 on 95/98.
DWORD NtBuild() {
    const DWORD version = GetVersion();
    return (version & 0x80000000) != 0 ? 0 : version >> 16;
}

// Whether a disk that Windows connects late is there all the same when the
// moves run, or cannot be judged. The disk that holds the Windows folder is
// there: Windows started from it (also from an iSCSI disk, or a VHD by
// native boot, which attaches every volume of that VHD). On Windows 11
// 22H2 and later so is a virtual disk whose file is listed to be attached
// at boot, which the kernel attaches while it loads the boot drivers.
bool IsThereAtBoot(DWORD disk, DWORD bus) {
    WCHAR root[MAX_PATH];
    DWORD disks[MaxVolumeDisks];
    const UINT length = SystemDirectory(scratch, MaxPath);
    const int count =
        length > 0 && length < MaxPath && VolumePathName(scratch, root, MAX_PATH) ? VolumeDisks(root, disks) : 0;
    if (count == 0) {
        return true;  // not judged
    }
    for (int i = 0; i < count; ++i) {
        if (disks[i] == disk) {
            return true;
        }
    }
    if (bus != BusTypeFileBackedVirtual || NtBuild() < AttachesListedDisks) {
        return false;
    }
    // VirtDisk.dll is loaded from the real System32; the files are then
    // compared by identity, whatever their spellings.
    TurnRedirectionOn();
    const bool asked = VirtualDiskFile(disk, scratch);
    TurnRedirectionOff();
    FileId host, listed;
    if (!asked || !FileIdentity(scratch, host) || DisksAttachedAtBoot(scratch) != ERROR_SUCCESS) {
        return true;
    }
    for (const WCHAR *file = scratch; *file != 0; file += TextLength(file) + 1) {
        if (FileIdentity(file, listed) && IsSameId(host, listed)) {
            return true;
        }
    }
    return false;
}

}  // namespace

// The restart's moves run before services start (Windows 2000 and later
// tell a volume's disks): a disk that the iSCSI software initiator connects,
// once TCP/IP and its service have started, is not there yet, and a virtual
// disk (VHD, VHDX) attached by hand does not come back after a restart at
// all. A volume that both files share is looked at once; what cannot be
// asked is not judged.
bool IsOnLateDisk(Request &request, int file) {
    const WCHAR *volume = request.volumes[file];
    const WCHAR *sourceVolume = request.volumes[SourceFile];
    if (volume[0] == 0 ||
        (file == DestinationFile && sourceVolume[0] != 0 && SameName(LocalPath(volume), LocalPath(sourceVolume)))) {
        return false;
    }
    DWORD disks[MaxVolumeDisks];
    const int count = VolumeDisks(LocalPath(volume), disks);
    for (int i = 0; i < count; ++i) {
        const DWORD bus = DiskBusType(disks[i]);
        request.reason = bus == BusTypeiScsi ? OnIscsiDisk : OnDetachedVirtualDisk;
        if ((bus == BusTypeiScsi || bus == BusTypeFileBackedVirtual) && !IsThereAtBoot(disks[i], bus)) {
            return true;
        }
    }
    return false;
}

// Windows 11 refuses every reparse point: a Source that carries one that
// is no link fails to open, and an existing Destination with the attribute
// is refused; the entry is dropped. Links are refused before this, and a
// reparse point whose tag cannot be read with them.
bool IsReparsePointFile(Request &request, int file) {
    WIN32_FIND_DATAW data;
    const DWORD attributes = NtBuild() >= RefusesReparsePoints ? FileAttributes(request.paths[file]) : 0;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ||
        !FindFileData(request.paths[file], data)) {
        return false;
    }
    request.reason = data.dwReserved0 == 0x80000017 ? CompressedByWindows : ReparsePointFile;  // WOF
    return true;
}
