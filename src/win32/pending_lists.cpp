// What the next start will already do: the Session Manager's values (NT)
// and wininit.ini's [rename] section (95/98), read, and written through the
// system's own calls.
#include "pending_lists.h"

namespace {

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

namespace {

// The registry functions are KERNEL32's from Windows 7 on, ADVAPI32's on
// every NT; ADVAPI32 is loaded only where KERNEL32 lacks them, so that
// KERNEL32 stays the only DLL loaded with the program. The Session
// Manager's key, or one below it, opened for reading values; the caller
// closes it with CloseKey.
struct Registry {
    HMODULE advapi32;
    decltype(&RegQueryValueExW) query;
    decltype(&RegCloseKey) close;
    HKEY key;
};

LONG OpenKey(const WCHAR *name, Registry &registry) {
    registry.advapi32 = nullptr;
    registry.key = nullptr;
    auto open = KERNEL32_FUNCTION(RegOpenKeyExW);
    registry.query = KERNEL32_FUNCTION(RegQueryValueExW);
    registry.close = KERNEL32_FUNCTION(RegCloseKey);
    if (open == nullptr || registry.query == nullptr || registry.close == nullptr) {
        registry.advapi32 = LoadLibraryA("advapi32.dll");
        open = ModuleFunction<decltype(&RegOpenKeyExW)>(registry.advapi32, "RegOpenKeyExW");
        registry.query = ModuleFunction<decltype(&RegQueryValueExW)>(registry.advapi32, "RegQueryValueExW");
        registry.close = ModuleFunction<decltype(&RegCloseKey)>(registry.advapi32, "RegCloseKey");
    }
    return open == nullptr || registry.query == nullptr || registry.close == nullptr
               ? ERROR_CALL_NOT_IMPLEMENTED
               : open(HKEY_LOCAL_MACHINE, name, 0, KEY_QUERY_VALUE, &registry.key);
}

void CloseKey(Registry &registry) {
    if (registry.key != nullptr) {
        registry.close(registry.key);
    }
    if (registry.advapi32 != nullptr) {
        FreeLibrary(registry.advapi32);
    }
}

}  // namespace

DWORD ReadPendingValues(const WCHAR *const (&names)[2], RegistryValue (&values)[2]) {
    values[0] = values[1] = RegistryValue{nullptr, 0, 0};
    Registry registry;
    LONG error = OpenKey(L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", registry);
    for (int i = 0; i < 2 && error == ERROR_SUCCESS; ++i) {
        error = ReadValue(registry.query, registry.key, names[i], values[i]);
        error = i == 0 && error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
    }
    CloseKey(registry);
    error = error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;  // no key, nothing pending
    return static_cast<DWORD>(error);
}

// The letters the Session Manager creates itself, before it runs the moves.
bool DefinedAtStart(const WCHAR *device) {
    Registry registry;
    DWORD size = 0;
    const LONG opened = OpenKey(L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\DOS Devices", registry);
    const bool defined = opened == ERROR_SUCCESS &&
                         registry.query(registry.key, device, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
    CloseKey(registry);
    return defined;
}

namespace {

// Windows 95 and 98 read sections of up to 32,767 bytes; one that does not
// fit comes back cut, two bytes short of the buffer. The length of the
// section last read.
const DWORD SectionRoom = MaxPath - 2;
DWORD sectionLength;

}  // namespace

DWORD ReadRenameSection(WCHAR (&lines)[MaxPath]) {
    static char section[MaxPath];
    sectionLength = 0;
    lines[0] = lines[1] = 0;
    SetLastError(ERROR_SUCCESS);
    const DWORD size = SectionRoom;
    const DWORD length = GetPrivateProfileSectionA("rename", section, size, "wininit.ini");
    if (length == 0) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : error;
    }
    if (length >= size - 2) {
        return ERROR_MORE_DATA;
    }
    sectionLength = length;
    section[length] = section[length + 1] = '\0';
    if (MultiByteToWideChar(CP_ACP, 0, section, static_cast<int>(length) + 2, lines, MaxPath) == 0) {
        lines[0] = lines[1] = 0;
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    return ERROR_SUCCESS;
}

// Only NT defers a move this way; 95/98 use wininit.ini.
BOOL MoveAtReboot(const WCHAR *source, const WCHAR *destination) {
    const auto moveFile = KERNEL32_FUNCTION(MoveFileExW);
    return moveFile != nullptr ? moveFile(LongForm(source, 0), LongForm(destination, 1),
                                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT)
                               : FailWith(ERROR_CALL_NOT_IMPLEMENTED);
}

// WININIT reads the file in real mode, before Windows: it is ANSI on every
// Windows that has it.
// A line that would make the section too long to be read whole is not
// written: the next reading could not tell what is pending, and its own
// check would come after the line was already there.
BOOL AddRenameEntry(const WCHAR *source, const WCHAR *destination) {
    char ansiSource[MAX_PATH];
    char ansiDestination[MAX_PATH];
    if (!ToAnsi(source, ansiSource) || !ToAnsi(destination, ansiDestination)) {
        return FALSE;
    }
    const DWORD line = static_cast<DWORD>(lstrlenA(ansiDestination) + 1 + lstrlenA(ansiSource) + 1);
    if (sectionLength + line >= SectionRoom - 2) {
        return FailWith(ERROR_MORE_DATA);
    }
    if (!WritePrivateProfileStringA("rename", ansiDestination, ansiSource, "wininit.ini")) {
        return FALSE;
    }
    // Writes the system's cached copy of the file out to disk; documented to
    // return FALSE, so its result says nothing.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "wininit.ini");
    return TRUE;
}
