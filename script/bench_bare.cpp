// The baselines for script/bench: bare programs that make the same kernel
// calls as a successful run of Quarvel.exe on Windows NT (version query, two
// searches, the disks of the volume both files share and each disk's bus,
// under a named mutex both pending values read, the token's user queried,
// the descriptors of Source and of every folder up to its root read, one
// registration, both values read again) and print one line. BenchBare
// uses msvcrt for its start-up and output; BenchBareNoCrt (BENCH_NO_CRT) has
// none and searches the two names the bench always passes, a.txt and b.txt.
#include <windows.h>
#include <winioctl.h>
#include <winternl.h>

#include <cstdio>

namespace {

// Both values, read whole, as KERNEL32 exports the registry functions from
// Windows 7 on; what they hold is not looked at.
void ReadPendingValues() {
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    const auto open = reinterpret_cast<decltype(&RegOpenKeyExW)>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel32, "RegOpenKeyExW")));
    const auto query = reinterpret_cast<decltype(&RegQueryValueExW)>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel32, "RegQueryValueExW")));
    const auto close = reinterpret_cast<decltype(&RegCloseKey)>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel32, "RegCloseKey")));
    HKEY key = nullptr;
    if (open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_QUERY_VALUE,
             &key) != ERROR_SUCCESS) {
        return;
    }
    const WCHAR *const names[] = {L"PendingFileRenameOperations", L"PendingFileRenameOperations2"};
    for (const WCHAR *name : names) {
        DWORD size = 0;
        if (query(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
            void *data = LocalAlloc(LMEM_FIXED, size);
            query(key, name, nullptr, nullptr, static_cast<BYTE *>(data), &size);
            LocalFree(data);
        }
    }
    close(key);
}

// The volume's disks and each disk's bus, through handles opened with no
// access; what they answer is not looked at.
void AskVolumeDisks(const char *path) {
    char root[MAX_PATH];
    char name[50];
    if (!GetVolumePathNameA(path, root, MAX_PATH) || !GetVolumeNameForVolumeMountPointA(root, name, 50)) {
        return;
    }
    name[48] = '\0';
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE volume = CreateFileA(name, 0, share, nullptr, OPEN_EXISTING, 0, nullptr);
    union {
        VOLUME_DISK_EXTENTS extents;
        BYTE bytes[sizeof(VOLUME_DISK_EXTENTS) + 31 * sizeof(DISK_EXTENT)];
    } answer;
    DWORD returned = 0;
    if (volume == INVALID_HANDLE_VALUE) {
        return;
    }
    const BOOL asked = DeviceIoControl(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, &answer,
                                       sizeof answer, &returned, nullptr);
    CloseHandle(volume);
    const DISK_EXTENT *extent = answer.extents.Extents;
    for (DWORD i = 0; asked && i < answer.extents.NumberOfDiskExtents && i < 32; ++i) {
        char disk[32] = "\\\\.\\PhysicalDrive";
        char digits[12];
        int count = 0;
        for (DWORD number = extent[i].DiskNumber; count == 0 || number != 0; number /= 10) {
            digits[count++] = static_cast<char>('0' + number % 10);
        }
        int at = lstrlenA(disk);
        while (count > 0) {
            disk[at++] = digits[--count];
        }
        disk[at] = '\0';
        const HANDLE device = CreateFileA(disk, 0, share, nullptr, OPEN_EXISTING, 0, nullptr);
        if (device != INVALID_HANDLE_VALUE) {
            STORAGE_PROPERTY_QUERY query = {StorageDeviceProperty, PropertyStandardQuery, {0}};
            STORAGE_DEVICE_DESCRIPTOR descriptor;
            DeviceIoControl(device, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &descriptor,
                            sizeof descriptor, &returned, nullptr);
            CloseHandle(device);
        }
    }
}

// The user of the process's token, through NTDLL, as Quarvel reads it
// before it looks at who may change the files.
void QueryTokenUser() {
    typedef LONG(WINAPI * OpenToken)(HANDLE process, DWORD access, HANDLE * token);
    typedef LONG(WINAPI * QueryToken)(HANDLE token, TOKEN_INFORMATION_CLASS information, void *buffer,
                                      ULONG size, ULONG *needed);
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const auto open = reinterpret_cast<OpenToken>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "NtOpenProcessToken")));
    const auto query = reinterpret_cast<QueryToken>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "NtQueryInformationToken")));
    HANDLE token = nullptr;
    if (open(GetCurrentProcess(), TOKEN_QUERY, &token) >= 0) {
        union {
            TOKEN_USER user;
            BYTE bytes[sizeof(TOKEN_USER) + 68];
        } answer;
        ULONG length = 0;
        query(token, TokenUser, &answer, sizeof answer, &length);
        CloseHandle(token);
    }
}

// The descriptors Quarvel reads before it lets Source through: the file's,
// whether its volume keeps permissions, then each folder's from its own up
// to the root, each through a handle opened to read it alone; what they
// hold is not looked at.
void ReadDescriptors(const char *path) {
    typedef LONG(WINAPI * QuerySecurity)(HANDLE object, DWORD information, void *descriptor, ULONG size,
                                         ULONG *needed);
    const auto query = reinterpret_cast<QuerySecurity>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySecurityObject")));
    alignas(4) static BYTE descriptor[65536 + 128];
    char name[MAX_PATH];
    lstrcpynA(name, path, MAX_PATH);
    int end = lstrlenA(name);
    for (bool first = true;; first = false) {
        const HANDLE file = CreateFileA(name, READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            ULONG length = 0;
            query(file, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor, sizeof descriptor,
                  &length);
            CloseHandle(file);
        }
        if (first) {
            const char root[] = {name[0], ':', '\\', 0};
            DWORD flags = 0;
            GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0);
        }
        // The folder that holds it, with its backslash, up to X:\.
        if (end <= 3) {
            return;
        }
        for (end -= name[end - 1] == '\\' ? 1 : 0; end > 3 && name[end - 1] != '\\'; --end) {
        }
        name[end] = 0;
    }
}

// The lock Quarvel takes: Windows' own \PendingRenameMutex where it exists,
// else a mutex of its own.
HANDLE TakeLock() {
    typedef LONG(WINAPI * OpenMutant)(HANDLE * mutant, DWORD access, OBJECT_ATTRIBUTES * attributes);
    const auto open = reinterpret_cast<OpenMutant>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtOpenMutant")));
    WCHAR name[] = L"\\PendingRenameMutex";
    UNICODE_STRING text = {sizeof name - sizeof(WCHAR), sizeof name, name};
    OBJECT_ATTRIBUTES attributes = {};
    attributes.Length = sizeof attributes;
    attributes.ObjectName = &text;
    attributes.Attributes = OBJ_CASE_INSENSITIVE;
    HANDLE mutex = nullptr;
    if (open == nullptr || open(&mutex, SYNCHRONIZE, &attributes) < 0) {
        mutex = CreateMutexA(nullptr, FALSE, "Global\\Quarvel bench");
    }
    WaitForSingleObject(mutex, 30000);
    return mutex;
}

int Register(const char *source, const char *destination) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);

    char sourcePath[MAX_PATH];
    char destinationPath[MAX_PATH];
    LPSTR filePart = nullptr;
    if (SearchPathA(nullptr, source, nullptr, MAX_PATH, sourcePath, &filePart) == 0 ||
        SearchPathA(nullptr, destination, nullptr, MAX_PATH, destinationPath, &filePart) == 0) {
        return 2;
    }
    AskVolumeDisks(sourcePath);
    const HANDLE mutex = TakeLock();
    ReadPendingValues();
    QueryTokenUser();
    ReadDescriptors(sourcePath);
    MoveFileExA(sourcePath, destinationPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
    ReadPendingValues();
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}

}  // namespace

#ifdef BENCH_NO_CRT
extern "C" __attribute__((force_align_arg_pointer)) void BenchStart() {
    const int status = Register("a.txt", "b.txt");
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "registered\r\n", 12, &written, nullptr);
    ExitProcess(status);
}
#else
int main(int argc, char *argv[]) {
    if (argc != 3) {
        return 1;
    }
    const int status = Register(argv[1], argv[2]);
    puts("registered");
    return status;
}
#endif
