// What the next start will already do: the Session Manager's values (NT)
// and wininit.ini's [rename] section (95/98), and the locks around them.
#include "pending_lists.h"

namespace {

const DWORD LockWait = 30000;  // milliseconds, for each lock

// Quarvel's own mutex, then Windows' own; null where not taken.
HANDLE locks[2];

// Waits for a mutex that has been opened; one whose holder ended without
// releasing it is taken as well: the list is read afresh under it.
DWORD Take(HANDLE mutex, int which) {
    const DWORD waited = WaitForSingleObject(mutex, LockWait);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        const DWORD error = waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : GetLastError();
        CloseHandle(mutex);
        return error;
    }
    locks[which] = mutex;
    return ERROR_SUCCESS;
}

// Windows' own lock lies in the root of NT's object namespace, which no
// Win32 name reaches: only NTDLL opens it.
DWORD TakeSystemLock() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const auto open = ModuleFunction<NtOpenMutantProc>(ntdll, "NtOpenMutant");
    const auto toError = ModuleFunction<RtlNtStatusToDosErrorProc>(ntdll, "RtlNtStatusToDosError");
    if (!NamesAreUnicode() || open == nullptr || toError == nullptr) {
        return ERROR_SUCCESS;
    }
    WCHAR name[] = L"\\PendingRenameMutex";
    UNICODE_STRING text = {sizeof name - sizeof(WCHAR), sizeof name, name};
    OBJECT_ATTRIBUTES attributes = {};
    attributes.Length = sizeof attributes;
    attributes.ObjectName = &text;
    attributes.Attributes = 0x40;  // OBJ_CASE_INSENSITIVE
    HANDLE mutex = nullptr;
    const LONG status = open(&mutex, SYNCHRONIZE, &attributes);
    if (status >= 0) {
        return Take(mutex, 1);
    }
    const DWORD error = toError(status);
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : error;
}

// One value of an open key, as ReadPendingValues gives it.
LONG ReadValue(decltype(&RegQueryValueExW) query, HKEY key, const WCHAR *name, RegistryValue &value) {
    DWORD size = 0;
    LONG error = query(key, name, nullptr, nullptr, nullptr, &size);
    // The value may grow between the calls: then it is read again, a few
    // times; one that keeps growing cannot be read whole.
    for (int attempt = 0; error == ERROR_SUCCESS; ++attempt) {
        if (value.data != nullptr) {
            LocalFree(value.data);
        }
        // Zeroed, with room for three more characters after an odd size.
        value.data = static_cast<WCHAR *>(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, size + 4 * sizeof(WCHAR)));
        if (value.data == nullptr) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        value.size = size;
        error = query(key, name, nullptr, &value.type, reinterpret_cast<BYTE *>(value.data), &value.size);
        if (error != ERROR_MORE_DATA) {
            break;
        }
        size = value.size;
        error = attempt < 3 ? ERROR_SUCCESS : ERROR_MORE_DATA;
    }
    if (error != ERROR_SUCCESS && value.data != nullptr) {
        LocalFree(value.data);
        value.data = nullptr;
    }
    return error;
}

}  // namespace

DWORD LockPendingLists() {
    // Global\ names exist from Windows 2000 on; before, names are the
    // system's anyway.
    const bool global = NamesAreUnicode() && (GetVersion() & 0xFF) >= 5;
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, global ? "Global\\Quarvel pending moves"
                                                             : "Quarvel pending moves");
    if (mutex == nullptr) {
        return GetLastError();
    }
    const DWORD error = Take(mutex, 0);
    return error != ERROR_SUCCESS ? error : TakeSystemLock();
}

void UnlockPendingLists() {
    for (int which = 1; which >= 0; --which) {
        if (locks[which] != nullptr) {
            ReleaseMutex(locks[which]);
            CloseHandle(locks[which]);
            locks[which] = nullptr;
        }
    }
}

// The registry functions are KERNEL32's from Windows 7 on, ADVAPI32's on
// every NT; ADVAPI32 is loaded only where KERNEL32 lacks them, so that
// KERNEL32 stays the only DLL loaded with the program.
DWORD ReadPendingValues(const WCHAR *const (&names)[2], RegistryValue (&values)[2]) {
    HMODULE advapi32 = nullptr;
    auto open = KERNEL32_FUNCTION(RegOpenKeyExW);
    auto query = KERNEL32_FUNCTION(RegQueryValueExW);
    auto close = KERNEL32_FUNCTION(RegCloseKey);
    if (open == nullptr || query == nullptr || close == nullptr) {
        advapi32 = LoadLibraryA("advapi32.dll");
        open = ModuleFunction<decltype(&RegOpenKeyExW)>(advapi32, "RegOpenKeyExW");
        query = ModuleFunction<decltype(&RegQueryValueExW)>(advapi32, "RegQueryValueExW");
        close = ModuleFunction<decltype(&RegCloseKey)>(advapi32, "RegCloseKey");
    }
    values[0] = values[1] = RegistryValue{nullptr, 0, 0};
    HKEY key = nullptr;
    LONG error = open == nullptr || query == nullptr || close == nullptr
                     ? ERROR_CALL_NOT_IMPLEMENTED
                     : open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                            0, KEY_QUERY_VALUE, &key);
    if (error == ERROR_SUCCESS) {
        for (int i = 0; i < 2 && (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND); ++i) {
            error = ReadValue(query, key, names[i], values[i]);
        }
        close(key);
    }
    error = error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;  // no key, nothing pending
    if (advapi32 != nullptr) {
        FreeLibrary(advapi32);
    }
    return static_cast<DWORD>(error);
}

DWORD ReadRenameSection(WCHAR (&lines)[MaxPath]) {
    static char section[MaxPath];
    lines[0] = lines[1] = 0;
    // Windows 95 and 98 read sections of up to 32,767 bytes; one that does
    // not fit comes back cut, two bytes short of the buffer.
    SetLastError(ERROR_SUCCESS);
    const DWORD size = MaxPath - 2;
    const DWORD length = GetPrivateProfileSectionA("rename", section, size, "wininit.ini");
    if (length == 0) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : error;
    }
    if (length >= size - 2) {
        return ERROR_MORE_DATA;
    }
    section[length] = section[length + 1] = '\0';
    if (MultiByteToWideChar(CP_ACP, 0, section, static_cast<int>(length) + 2, lines, MaxPath) == 0) {
        lines[0] = lines[1] = 0;
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    return ERROR_SUCCESS;
}
