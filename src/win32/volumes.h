// What a volume lies on, as Windows 2000 and later tell it through handles
// opened with no access at all: its disks and the bus each is reached by;
// the file that holds a virtual disk, and the virtual disks Windows 11
// attaches at boot.
#ifndef QUARVEL_VOLUMES_H
#define QUARVEL_VOLUMES_H

#include "names.h"

// Whether the volume mounted at `root` keeps permissions
// (FILE_PERSISTENT_ACLS: NTFS, ReFS); false for one that keeps none (FAT,
// exFAT), where Windows gives every file a descriptor that lets everyone in.
// True where it cannot be asked.
bool KeepsPermissions(const WCHAR *root);

// The most disks one volume is looked at on.
const int MaxVolumeDisks = 32;

// The numbers of the disks that hold the volume mounted at `root` (X:\ or a
// folder, with its last backslash): their count, or 0 where it cannot be
// asked (before Windows 2000, a call that fails, a volume spread over more
// than MaxVolumeDisks disks).
int VolumeDisks(const WCHAR *root, DWORD (&disks)[MaxVolumeDisks]);

// The bus a disk (\\.\PhysicalDriveN) is reached by, a STORAGE_BUS_TYPE, or
// BusTypeUnknown where it cannot be asked.
DWORD DiskBusType(DWORD disk);

// The file that holds a virtual disk, as \\?\Volume{GUID}\dir\disk.vhdx
// (GetStorageDependencyInformation, VirtDisk.dll from Windows 7 on, loaded
// for this call alone, so with the redirector on); false where it cannot be
// asked.
bool VirtualDiskFile(DWORD disk, WCHAR (&file)[MaxPath]);

// The files of the virtual disks listed to be attached at boot (each `Path`
// under HKLM\SYSTEM\CurrentControlSet\Control\AutoAttachVirtualDisks\{GUID},
// which Windows 11 reads), as zero-terminated names ending with an empty one,
// NT's \??\ turned into \\?\. Returns ERROR_SUCCESS (also where there is no
// such key), or the error that kept them from being read.
DWORD DisksAttachedAtBoot(WCHAR (&files)[MaxPath]);

#endif
