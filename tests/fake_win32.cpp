// The fake Windows functions, recording their calls into `fake`.
#include "fake_win32.h"

#include "runtime/runtime.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

FakeWindows fake;

namespace {

std::string Text(LPCSTR text) { return text == nullptr ? "null" : text; }

void Record(const std::string &call) { fake.calls.push_back(call); }

// Records the call, and a fault if the redirector is not as the call needs:
// off for the file system, on for loading a DLL or fetching a text.
void RecordRedirected(const std::string &call, bool needsOff) {
    Record(call);
    if (fake.wow64 && !fake.wow64Fails && fake.redirectionOff != needsOff) {
        fake.redirectionFaults.push_back(call);
    }
}

// Returns a path the way Windows' path queries do: copied into the buffer,
// its length without terminator, or the size needed when it does not fit.
DWORD CopyPath(const std::string &path, LPSTR buffer, DWORD bufferLength) {
    if (path.size() + 1 > bufferLength) {
        return static_cast<DWORD>(path.size() + 1);
    }
    memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

// Answers a path query the way SearchPathA and GetShortPathNameA do: an
// overridden length as it is; a known path as CopyPath gives it; an unknown
// one fails with ERROR_FILE_NOT_FOUND.
DWORD LookUpPath(const std::map<std::string, DWORD> &lengths,
                 const std::map<std::string, std::string> &paths, LPCSTR key, LPSTR buffer,
                 DWORD bufferLength) {
    const auto overridden = lengths.find(key);
    if (overridden != lengths.end()) {
        return overridden->second;
    }
    const auto found = paths.find(key);
    if (found == paths.end()) {
        fake.lastError = ERROR_FILE_NOT_FOUND;
        return 0;
    }
    return CopyPath(found->second, buffer, bufferLength);
}

BOOL WINAPI FakeCharToOemA(LPCSTR source, LPSTR destination) {
    Record("CharToOemA");
    do {
        *destination++ = *source == AnsiEAcute ? OemEAcute : *source;
    } while (*source++ != '\0');
    return TRUE;
}

BOOL WINAPI FakeWow64Disable(PVOID *oldValue) {
    Record("Wow64DisableWow64FsRedirection()");
    if (fake.wow64Fails) {
        return FALSE;
    }
    *oldValue = &fake.redirectionOff;
    fake.redirectionOff = true;
    return TRUE;
}

BOOL WINAPI FakeWow64Revert(PVOID oldValue) {
    Record("Wow64RevertWow64FsRedirection()");
    fake.redirectionOff = oldValue != &fake.redirectionOff;
    return TRUE;
}

// Answers a query that fills a buffer from a table; 0 for a key not in it.
DWORD FromTable(const std::map<std::string, std::string> &table, LPCSTR key, LPSTR buffer,
                DWORD size) {
    const auto found = table.find(key);
    if (found == table.end() || found->second.size() + 1 > size) {
        fake.lastError = ERROR_FILE_NOT_FOUND;
        return 0;
    }
    memcpy(buffer, found->second.c_str(), found->second.size() + 1);
    return static_cast<DWORD>(found->second.size() + 1);
}

DWORD WINAPI FakeQueryDosDeviceA(LPCSTR device, LPSTR target, DWORD size) {
    Record("QueryDosDeviceA(" + Text(device) + ")");
    return FromTable(fake.dosDevices, device, target, size);
}

BOOL WINAPI FakeGetVolumePathNameA(LPCSTR path, LPSTR volume, DWORD size) {
    RecordRedirected("GetVolumePathNameA(" + Text(path) + ")", true);
    return FromTable(fake.volumes, path, volume, size) != 0;
}

template <typename Function>
FARPROC Exported(Function function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

}  // namespace

void ResetFake() {
    FlushConsole();  // whatever an earlier test left unwritten
    fake = FakeWindows();
    fake.version.dwMajorVersion = 4;
    fake.version.dwMinorVersion = 0;
    fake.version.dwBuildNumber = 1381;
    fake.version.dwPlatformId = VER_PLATFORM_WIN32_NT;
    strcpy(fake.version.szCSDVersion, "Service Pack 6");
    fake.messages[ERROR_FILE_NOT_FOUND] = "The system cannot find the file specified.\r\n";
    fake.messages[ERROR_ACCESS_DENIED] = "Access is denied.\r\n";
    fake.messages[ERROR_NOT_SAME_DEVICE] = "The system cannot move the file to a different disk drive.\r\n";
    fake.messages[ERROR_FILENAME_EXCED_RANGE] = "The filename or extension is too long.\r\n";
}

std::string ConsoleOutput() {
    FlushConsole();
    std::string text;
    for (size_t i = 0; i < fake.console.size(); ++i) {
        if (fake.console.compare(i, 2, "\r\n") != 0) {
            text += fake.console[i];
        }
    }
    return text;
}

std::vector<std::string> CallsTo(const std::vector<std::string> &names) {
    std::vector<std::string> selected;
    for (const std::string &call : fake.calls) {
        for (const std::string &name : names) {
            if (call.compare(0, name.size() + 1, name + "(") == 0) {
                selected.push_back(call);
            }
        }
    }
    return selected;
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    Record("GetVersionExA(" + std::to_string(info->dwOSVersionInfoSize) + ")");
    if (!fake.versionResult) {
        return FALSE;
    }
    const DWORD size = info->dwOSVersionInfoSize;
    *info = fake.version;
    info->dwOSVersionInfoSize = size;
    return TRUE;
}

DWORD WINAPI SearchPathA(LPCSTR path, LPCSTR fileName, LPCSTR extension, DWORD bufferLength,
                         LPSTR buffer, LPSTR *filePart) {
    RecordRedirected("SearchPathA(" + Text(path) + ", " + Text(fileName) + ", " + Text(extension) +
                         ", " + std::to_string(bufferLength) + ")",
                     true);
    const DWORD length = LookUpPath(fake.searchLength, fake.files, fileName, buffer, bufferLength);
    if (length != 0 && length < bufferLength && filePart != nullptr) {
        char *lastSlash = strrchr(buffer, '\\');
        *filePart = lastSlash != nullptr ? lastSlash + 1 : buffer;
    }
    return length;
}

DWORD WINAPI GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD bufferLength) {
    RecordRedirected("GetShortPathNameA(" + Text(longPath) + ", " + std::to_string(bufferLength) + ")",
                     true);
    return LookUpPath(fake.shortLength, fake.shortNames, longPath, shortPath, bufferLength);
}

BOOL WINAPI MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags) {
    RecordRedirected("MoveFileExA(" + Text(existing) + ", " + Text(newName) + ", " +
                         std::to_string(flags) + ")",
                     true);
    if (!fake.moveFileResult) {
        fake.lastError = fake.registerError;
    }
    return fake.moveFileResult;
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    Record("WritePrivateProfileStringA(" + Text(section) + ", " + Text(key) + ", " + Text(value) +
           ", " + Text(fileName) + ")");
    if (!fake.profileResult) {
        fake.lastError = fake.registerError;
    }
    return fake.profileResult;
}

DWORD WINAPI GetLastError() {
    Record("GetLastError(" + std::to_string(fake.lastError) + ")");
    return fake.lastError;
}

void WINAPI SetLastError(DWORD code) {
    Record("SetLastError(" + std::to_string(code) + ")");
    fake.lastError = code;
}

DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                            LPSTR buffer, DWORD size, va_list *arguments) {
    char head[64];
    snprintf(head, sizeof head, "FormatMessageA(0x%X, %s, %u, 0x%X, %u, %s)", flags,
             source == nullptr ? "null" : "source", messageId, languageId, size,
             arguments == nullptr ? "null" : "arguments");
    RecordRedirected(head, false);
    const auto found = fake.messages.find(messageId);
    if (found == fake.messages.end()) {
        return 0;
    }
    char *text = static_cast<char *>(malloc(found->second.size() + 1));
    memcpy(text, found->second.c_str(), found->second.size() + 1);
    *reinterpret_cast<char **>(buffer) = text;
    ++fake.liveAllocations;
    return static_cast<DWORD>(found->second.size());
}

HLOCAL WINAPI LocalAlloc(UINT flags, size_t bytes) {
    Record("LocalAlloc(" + std::to_string(flags) + ", " + std::to_string(bytes) + ")");
    if (fake.localAllocFails) {
        fake.lastError = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    ++fake.liveAllocations;
    return malloc(bytes);
}

HLOCAL WINAPI LocalFree(HLOCAL memory) {
    Record("LocalFree()");
    --fake.liveAllocations;
    free(memory);
    return nullptr;
}

HMODULE WINAPI LoadLibraryA(LPCSTR name) {
    RecordRedirected("LoadLibraryA(" + Text(name) + ")", false);
    return fake.user32Missing ? nullptr : &fake;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    Record("GetModuleHandleA(" + Text(name) + ")");
    return strcasecmp(name, "kernel32.dll") == 0 ? &fake.version : nullptr;
}

// USER32 (as LoadLibraryA gives it) has CharToOemA; KERNEL32 has
// QueryDosDeviceA and GetVolumePathNameA unless listed in `missing`, and the
// redirector's switches when the fake is 64-bit Windows.
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
    Record("GetProcAddress(" + Text(name) + ")");
    if (module == &fake && strcmp(name, "CharToOemA") == 0) {
        return Exported(&FakeCharToOemA);
    }
    if (module != &fake.version ||
        std::find(fake.missing.begin(), fake.missing.end(), name) != fake.missing.end()) {
        return nullptr;
    }
    if (strcmp(name, "QueryDosDeviceA") == 0) {
        return Exported(&FakeQueryDosDeviceA);
    }
    if (strcmp(name, "GetVolumePathNameA") == 0) {
        return Exported(&FakeGetVolumePathNameA);
    }
    if (fake.wow64 && strcmp(name, "Wow64DisableWow64FsRedirection") == 0) {
        return Exported(&FakeWow64Disable);
    }
    if (fake.wow64 && strcmp(name, "Wow64RevertWow64FsRedirection") == 0) {
        return Exported(&FakeWow64Revert);
    }
    return nullptr;
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    Record("FreeLibrary()");
    return module == &fake;
}

DWORD WINAPI GetFileAttributesA(LPCSTR path) {
    RecordRedirected("GetFileAttributesA(" + Text(path) + ")", true);
    const bool folder = std::find(fake.folders.begin(), fake.folders.end(), path) != fake.folders.end();
    const auto given = fake.attributes.find(path);
    if (given != fake.attributes.end()) {
        return given->second;
    }
    return folder ? FILE_ATTRIBUTE_DIRECTORY : 0x20;  // FILE_ATTRIBUTE_ARCHIVE
}

UINT WINAPI GetDriveTypeA(LPCSTR root) {
    RecordRedirected("GetDriveTypeA(" + Text(root) + ")", true);
    const auto found = fake.driveTypes.find(root);
    return found != fake.driveTypes.end() ? found->second : 3;  // DRIVE_FIXED
}

DWORD WINAPI GetFullPathNameA(LPCSTR name, DWORD bufferLength, LPSTR buffer, LPSTR *filePart) {
    Record("GetFullPathNameA(" + Text(name) + ", " + std::to_string(bufferLength) + ")");
    const bool full = name[0] == '\\' || (name[0] != '\0' && name[1] == ':');
    const DWORD length = CopyPath(full ? name : fake.currentDirectory + "\\" + name, buffer,
                                  bufferLength);
    if (length < bufferLength) {
        *filePart = strrchr(buffer, '\\') + 1;
    }
    return length;
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
    Record("GetSystemDirectoryA(" + std::to_string(size) + ")");
    return CopyPath(fake.systemDirectory, buffer, size);
}

int WINAPI lstrcmpiA(LPCSTR first, LPCSTR second) { return strcasecmp(first, second); }

int WINAPI lstrlenA(LPCSTR text) { return static_cast<int>(strlen(text)); }

LPSTR WINAPI lstrcpynA(LPSTR to, LPCSTR from, int size) {
    snprintf(to, static_cast<size_t>(size), "%s", from);
    return to;
}

HANDLE WINAPI GetStdHandle(DWORD which) {
    return which == STD_OUTPUT_HANDLE ? &fake.console : nullptr;
}

BOOL WINAPI WriteFile(HANDLE file, const void *bytes, DWORD count, LPDWORD written,
                      LPOVERLAPPED overlapped) {
    if (file != &fake.console || written == nullptr || overlapped != nullptr) {
        return FALSE;
    }
    fake.console.append(static_cast<const char *>(bytes), count);
    *written = count;
    return TRUE;
}
