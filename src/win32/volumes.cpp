// What a volume lies on: its disks (IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS),
// each disk's bus (IOCTL_STORAGE_QUERY_PROPERTY), the file that holds a
// virtual disk, and the virtual disks attached at boot. Both queries are
// FILE_ANY_ACCESS: a handle opened with no access asks them, and reads
// nothing.
#include "volumes.h"

#include <stddef.h>

namespace {

HANDLE OpenDevice(const WCHAR *name) {
    const auto createFile = KERNEL32_FUNCTION(CreateFileW);
    return createFile != nullptr ? createFile(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr)
                                 : INVALID_HANDLE_VALUE;
}

// \\.\PhysicalDriveN.
HANDLE OpenDisk(DWORD disk) {
    WCHAR name[32] = L"\\\\.\\PhysicalDrive";
    WCHAR digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<WCHAR>('0' + disk % 10);
        disk /= 10;
    } while (disk != 0);
    DWORD at = TextLength(name);
    while (count > 0) {
        name[at++] = digits[--count];
    }
    name[at] = 0;
    return OpenDevice(name);
}

// One query of a device; false where it fails or is missing.
bool Ask(HANDLE device, DWORD code, void *query, DWORD querySize, void *answer, DWORD answerSize,
         DWORD &returned) {
    const auto control = KERNEL32_FUNCTION(DeviceIoControl);
    returned = 0;
    const bool asked = device != INVALID_HANDLE_VALUE && control != nullptr &&
                       control(device, code, query, querySize, answer, answerSize, &returned, nullptr);
    if (device != INVALID_HANDLE_VALUE) {
        CloseHandle(device);
    }
    return asked;
}

}  // namespace

// The volume itself is \\?\Volume{GUID}, without the backslash that names
// its root folder.
int VolumeDisks(const WCHAR *root, DWORD (&disks)[MaxVolumeDisks]) {
    const auto volumeName = KERNEL32_FUNCTION(GetVolumeNameForVolumeMountPointW);
    WCHAR name[50];
    if (volumeName == nullptr || !volumeName(root, name, 50) || TextLength(name) != 49) {
        return 0;
    }
    name[48] = 0;
    union {
        VOLUME_DISK_EXTENTS extents;
        BYTE bytes[sizeof(VOLUME_DISK_EXTENTS) + (MaxVolumeDisks - 1) * sizeof(DISK_EXTENT)];
    } answer;
    DWORD returned = 0;
    if (!Ask(OpenDevice(name), IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, &answer, sizeof answer,
             returned)) {
        return 0;
    }
    const DWORD count = answer.extents.NumberOfDiskExtents;
    const DISK_EXTENT *extent = answer.extents.Extents;
    for (DWORD i = 0; i < count && i < MaxVolumeDisks; ++i) {
        disks[i] = extent[i].DiskNumber;
    }
    return count <= MaxVolumeDisks ? static_cast<int>(count) : 0;
}

bool KeepsPermissions(const WCHAR *root) {
    const auto information = KERNEL32_FUNCTION(GetVolumeInformationW);
    DWORD flags = FILE_PERSISTENT_ACLS;
    return information == nullptr || !information(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) ||
           (flags & FILE_PERSISTENT_ACLS) != 0;
}

DWORD DiskBusType(DWORD disk) {
    STORAGE_PROPERTY_QUERY query = {StorageDeviceProperty, PropertyStandardQuery, {0}};
    STORAGE_DEVICE_DESCRIPTOR descriptor;
    DWORD returned = 0;
    // The descriptor's fixed part is enough: the disk gives what fits.
    if (!Ask(OpenDisk(disk), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &descriptor, sizeof descriptor,
             returned) ||
        returned < offsetof(STORAGE_DEVICE_DESCRIPTOR, RawPropertiesLength)) {
        return BusTypeUnknown;
    }
    return descriptor.BusType;
}

// The entry nearest the disk (the lowest ancestor level) is its own file:
// the host volume and the file's path on it.
bool VirtualDiskFile(DWORD disk, WCHAR (&file)[MaxPath]) {
    static union {
        STORAGE_DEPENDENCY_INFO info;
        BYTE bytes[2 * MaxPath];
    } answer;  // the names follow the entries
    const HMODULE virtDisk = LoadLibraryA("virtdisk.dll");
    const auto dependencies = ModuleFunction<decltype(&GetStorageDependencyInformation)>(
        virtDisk, "GetStorageDependencyInformation");
    const HANDLE device = dependencies != nullptr ? OpenDisk(disk) : INVALID_HANDLE_VALUE;
    bool known = false;
    ULONG used = 0;
    answer.info.Version = STORAGE_DEPENDENCY_INFO_VERSION_2;
    if (device != INVALID_HANDLE_VALUE &&
        dependencies(device,
                     static_cast<GET_STORAGE_DEPENDENCY_FLAG>(GET_STORAGE_DEPENDENCY_FLAG_HOST_VOLUMES |
                                                              GET_STORAGE_DEPENDENCY_FLAG_DISK_HANDLE),
                     sizeof answer, &answer.info, &used) == ERROR_SUCCESS) {
        const STORAGE_DEPENDENCY_INFO_TYPE_2 *entry = answer.info.Version2Entries;
        const STORAGE_DEPENDENCY_INFO_TYPE_2 *nearest = nullptr;
        for (ULONG i = 0; i < answer.info.NumberEntries; ++i) {
            if (nearest == nullptr || entry[i].AncestorLevel < nearest->AncestorLevel) {
                nearest = &entry[i];
            }
        }
        const WCHAR *host = nearest != nullptr ? nearest->HostVolumeName : nullptr;
        const WCHAR *relative = nearest != nullptr ? nearest->DependentVolumeRelativePath : nullptr;
        known = host != nullptr && relative != nullptr && host[0] != 0 && relative[0] != 0 &&
                CopyText(file, host) &&
                CopyText(file, relative + (relative[0] == '\\' && file[TextLength(file) - 1] == '\\' ? 1 : 0),
                         TextLength(file));
    }
    if (device != INVALID_HANDLE_VALUE) {
        CloseHandle(device);
    }
    if (virtDisk != nullptr) {
        FreeLibrary(virtDisk);
    }
    return known;
}

// Windows 11's KERNEL32 has the registry functions, so no ADVAPI32 is
// loaded; where they are missing, nothing can be read.
DWORD DisksAttachedAtBoot(WCHAR (&files)[MaxPath]) {
    const auto open = KERNEL32_FUNCTION(RegOpenKeyExW);
    const auto enumerate = KERNEL32_FUNCTION(RegEnumKeyExW);
    const auto query = KERNEL32_FUNCTION(RegQueryValueExW);
    const auto close = KERNEL32_FUNCTION(RegCloseKey);
    files[0] = 0;
    HKEY key = nullptr;
    LONG error = open == nullptr || enumerate == nullptr || query == nullptr || close == nullptr
                     ? ERROR_CALL_NOT_IMPLEMENTED
                     : open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\AutoAttachVirtualDisks", 0,
                            KEY_ENUMERATE_SUB_KEYS, &key);
    if (error == ERROR_FILE_NOT_FOUND) {
        return ERROR_SUCCESS;  // none listed
    }
    DWORD at = 0;
    for (DWORD index = 0; error == ERROR_SUCCESS; ++index) {
        WCHAR name[64];
        DWORD length = 64;
        error = enumerate(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        HKEY disk = nullptr;
        if (error != ERROR_SUCCESS || open(key, name, 0, KEY_QUERY_VALUE, &disk) != ERROR_SUCCESS) {
            continue;  // ended, or failed; a disk that is gone meanwhile is not listed
        }
        // Room for the name, its terminator and the list's.
        DWORD type = 0;
        DWORD size = (MaxPath - at - 2) * sizeof(WCHAR);
        const LONG read = query(disk, L"Path", nullptr, &type, reinterpret_cast<BYTE *>(files + at), &size);
        close(disk);
        if (read == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
            WCHAR *path = files + at;
            path[size / sizeof(WCHAR)] = 0;
            if (path[0] == '\\' && path[1] == '?' && path[2] == '?' && path[3] == '\\') {
                path[1] = '\\';
            }
            at += TextLength(path) + (path[0] != 0 ? 1 : 0);
        } else if (read != ERROR_FILE_NOT_FOUND) {
            error = read == ERROR_SUCCESS ? ERROR_SUCCESS : read;
        }
        files[at] = 0;
    }
    if (key != nullptr) {
        close(key);
    }
    return error == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : static_cast<DWORD>(error);
}
