// The fake Windows functions, recording their calls into `fake`.
#include "fake_win32.h"

#include "runtime/runtime.h"
#include "win32/names.h"

#include <cstdlib>
#include <sstream>
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

std::string Text(LPCWSTR text) { return text == nullptr ? "null" : Narrow(text); }

// Whether a path is too long for the file system calls: MAX_PATH or more
// outside the \\?\ form (no long-path opt-in on the Windows modelled).
bool TooLong(LPCWSTR path) {
    const std::wstring text = path;
    const bool tooLong = text.size() >= MAX_PATH && text.compare(0, 4, L"\\\\?\\") != 0;
    fake.lastError = tooLong ? ERROR_FILENAME_EXCED_RANGE : fake.lastError;
    return tooLong;
}

// The characters of the modelled code pages beyond ASCII, which is itself in
// each. A best-fit entry is a look-alike, used only from Unicode to ANSI.
struct ModelledCharacter {
    UINT codePage;
    const char *bytes;
    WCHAR character;
    bool bestFit;
};

const ModelledCharacter modelledCharacters[] = {
    {1252, "\xE9", 0x00E9, false},      // e acute
    {850, "\x82", 0x00E9, false},       // the same in the OEM code page
    {1252, "l", 0x0142, true},          // l with stroke
    {1252, "\"", 0xFF02, true},         // fullwidth quotation mark
    {932, "\x95\x5C", 0x8868, false},  // a kanji whose second byte is a backslash
    {932, "\x5C", 0x00A5, true},        // the yen sign
};

// Text of the ANSI code page as UTF-8, and UTF-8 in the ANSI code page, each
// through the fake's own conversion functions.
std::string FromAnsi(LPCSTR text) {
    WCHAR wide[MaxPath];
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, MaxPath);
    return Narrow(wide);
}

std::string ToAnsi(const std::string &text) {
    static char ansi[2 * MaxPath];
    WideCharToMultiByte(CP_ACP, 0, Widen(text).c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
    return ansi;
}

// Returns a path the way Windows' path queries do: copied into the buffer,
// its length without terminator, or the size needed when it does not fit.
template <typename Char>
DWORD CopyPath(const std::basic_string<Char> &path, Char *buffer, DWORD bufferLength) {
    if (path.size() + 1 > bufferLength) {
        return static_cast<DWORD>(path.size() + 1);
    }
    std::copy(path.c_str(), path.c_str() + path.size() + 1, buffer);
    return static_cast<DWORD>(path.size());
}

// Answers a path query the way SearchPath and GetShortPathName do: an
// overridden length as it is; a known path as CopyPath gives it; an unknown
// one fails with ERROR_FILE_NOT_FOUND.
DWORD LookUpPath(const std::map<std::string, DWORD> &lengths,
                 const std::map<std::string, std::string> &paths, const std::string &key,
                 LPWSTR buffer, DWORD bufferLength) {
    const auto overridden = lengths.find(key);
    if (overridden != lengths.end()) {
        return overridden->second;
    }
    const auto found = paths.find(key);
    if (found == paths.end()) {
        fake.lastError = ERROR_FILE_NOT_FOUND;
        return 0;
    }
    return CopyPath(Widen(found->second), buffer, bufferLength);
}

// Runs a wide function for its ANSI wrapper, recording `call` in place of
// the wide function's own record.
template <typename Wide>
auto AsAnsi(const std::string &call, Wide wide) {
    const size_t before = fake.calls.size();
    const auto result = wide();
    fake.calls.resize(before);
    Record(call);
    return result;
}

// An ANSI function's path result from its wide function's, converted to the
// code page, or the wide one's failure or size.
DWORD AnsiPath(DWORD length, const WCHAR *wide, LPSTR buffer, DWORD bufferLength) {
    if (length == 0 || length >= bufferLength) {
        return length;
    }
    return CopyPath(ToAnsi(Narrow(wide)), buffer, bufferLength);
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
DWORD FromTable(const std::map<std::string, std::string> &table, const std::string &key,
                LPWSTR buffer, DWORD size) {
    const auto found = table.find(key);
    const std::wstring value = found != table.end() ? Widen(found->second) : std::wstring();
    if (found == table.end() || value.size() + 1 > size) {
        fake.lastError = ERROR_FILE_NOT_FOUND;
        return 0;
    }
    std::copy(value.c_str(), value.c_str() + value.size() + 1, buffer);
    return static_cast<DWORD>(value.size() + 1);
}

template <typename Function>
FARPROC Exported(Function function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

}  // namespace

void ResetFake() {
    FlushConsole();  // whatever an earlier test left unwritten
    fake = FakeWindows();
    fake.version.dwMajorVersion = 6;
    fake.version.dwMinorVersion = 1;
    fake.version.dwBuildNumber = 7601;
    fake.version.dwPlatformId = VER_PLATFORM_WIN32_NT;
    strcpy(fake.version.szCSDVersion, "Service Pack 1");
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

std::wstring Widen(const std::string &text) {
    std::wstring wide;
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        unsigned long character = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            character = character << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        i += static_cast<size_t>(length);
        if (character > 0xFFFF) {
            character -= 0x10000;
            wide += static_cast<WCHAR>(0xD800 + (character >> 10));
            character = 0xDC00 + (character & 0x3FF);
        }
        wide += static_cast<WCHAR>(character);
    }
    return wide;
}

std::string Narrow(const WCHAR *text) {
    std::string narrow;
    for (; *text != 0; ++text) {
        unsigned long c = static_cast<unsigned long>(*text);
        if (c >= 0xD800 && c <= 0xDBFF && text[1] >= 0xDC00 && text[1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned long>(*++text) - 0xDC00);
        }
        const int length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        narrow += static_cast<char>(length == 1 ? c : (0xF00 >> length) | (c >> (6 * (length - 1))));
        for (int k = length - 2; k >= 0; --k) {
            narrow += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
        }
    }
    return narrow;
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

// NT's build in the high word.
DWORD WINAPI GetVersion() {
    const OSVERSIONINFOA &v = fake.version;
    return (v.dwPlatformId == VER_PLATFORM_WIN32_NT ? (v.dwBuildNumber & 0x7FFF) << 16 : 0x80000000) |
           v.dwMajorVersion | v.dwMinorVersion << 8;
}

LPWSTR WINAPI GetCommandLineW() {
    static std::wstring line;
    line = Widen(fake.commandLine);
    return &line[0];
}

LPSTR WINAPI GetCommandLineA() {
    static std::string line;
    line = ToAnsi(fake.commandLine);
    return &line[0];
}

// The code page a conversion means: the ANSI or OEM one, or one by number.
UINT CodePage(UINT codePage) {
    return codePage == CP_ACP ? fake.codePage : codePage == CP_OEMCP ? fake.oemCodePage : codePage;
}

int WINAPI MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int count, LPWSTR wide, int size) {
    const UINT page = CodePage(codePage);
    std::wstring result;
    const std::string bytes = count < 0 ? std::string(text, strlen(text) + 1) : std::string(text, count);
    if (page == CP_UTF8) {
        result = Widen(bytes);
    }
    for (size_t i = 0; i < bytes.size() && page != CP_UTF8;) {
        WCHAR character = static_cast<unsigned char>(bytes[i]) < 0x80 ? bytes[i] : L'?';
        size_t length = 1;
        for (const ModelledCharacter &c : modelledCharacters) {
            if (c.codePage == page && !c.bestFit && bytes.compare(i, strlen(c.bytes), c.bytes) == 0) {
                character = c.character;
                length = strlen(c.bytes);
                break;
            }
        }
        result += character;
        i += length;
    }
    if (result.size() > static_cast<size_t>(size)) {
        return 0;
    }
    std::copy(result.begin(), result.end(), wide);
    return static_cast<int>(result.size());
}

// With best fit, as Windows converts unless told not to; a character the
// code page lacks altogether becomes "?".
int WINAPI WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wide, int count, LPSTR text,
                               int size, LPCSTR, BOOL *) {
    const UINT page = CodePage(codePage);
    std::string result;
    const size_t length = count < 0 ? std::char_traits<WCHAR>::length(wide) + 1 : count;
    if (page == CP_UTF8) {
        const std::wstring units(wide, length);
        result = Narrow(units.c_str()) + (count < 0 ? std::string(1, '\0') : "");
    }
    for (size_t i = 0; i < length && page != CP_UTF8; ++i) {
        std::string bytes(1, static_cast<char>(wide[i]));
        if (wide[i] >= 0x80) {
            bytes = "?";
            i += wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < length ? 1 : 0;
            for (const ModelledCharacter &c : modelledCharacters) {
                if (c.codePage == page && c.character == wide[i]) {
                    bytes = c.bytes;
                }
            }
        }
        result += bytes;
    }
    if (result.size() > static_cast<size_t>(size)) {
        return 0;
    }
    memcpy(text, result.data(), result.size());
    return static_cast<int>(result.size());
}

DWORD WINAPI SearchPathW(LPCWSTR path, LPCWSTR fileName, LPCWSTR extension, DWORD bufferLength,
                         LPWSTR buffer, LPWSTR *) {
    RecordRedirected("SearchPathW(" + Text(path) + ", " + Text(fileName) + ", " + Text(extension) +
                         ", " + std::to_string(bufferLength) + ")",
                     true);
    if (path != nullptr) {
        std::map<std::string, std::string> here;
        for (const auto &file : fake.files) {
            here[file.second] = file.second;
        }
        WCHAR full[MaxPath];
        GetFullPathNameW(fileName, MaxPath, full, nullptr);
        fake.calls.pop_back();
        return LookUpPath({}, here, Narrow(full), buffer, bufferLength);
    }
    return LookUpPath(fake.searchLength, fake.files, Narrow(fileName), buffer, bufferLength);
}

DWORD WINAPI SearchPathA(LPCSTR path, LPCSTR fileName, LPCSTR extension, DWORD bufferLength,
                         LPSTR buffer, LPSTR *) {
    static WCHAR wide[MaxPath];
    const DWORD length = AsAnsi("SearchPathA(" + Text(path) + ", " + FromAnsi(fileName) + ", " +
                                    Text(extension) + ", " + std::to_string(bufferLength) + ")",
                                [&] {
                                    return SearchPathW(path == nullptr ? nullptr : Widen(path).c_str(),
                                                       Widen(FromAnsi(fileName)).c_str(), nullptr,
                                                       MaxPath, wide, nullptr);
                                });
    return AnsiPath(length, wide, buffer, bufferLength);
}

DWORD WINAPI GetShortPathNameW(LPCWSTR longPath, LPWSTR shortPath, DWORD bufferLength) {
    RecordRedirected("GetShortPathNameW(" + Text(longPath) + ", " + std::to_string(bufferLength) + ")",
                     true);
    return TooLong(longPath) ? 0 : LookUpPath(fake.shortLength, fake.shortNames, Narrow(longPath), shortPath, bufferLength);
}

DWORD WINAPI GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD bufferLength) {
    static WCHAR wide[MaxPath];
    const DWORD length = AsAnsi(
        "GetShortPathNameA(" + FromAnsi(longPath) + ", " + std::to_string(bufferLength) + ")",
        [&] { return GetShortPathNameW(Widen(FromAnsi(longPath)).c_str(), wide, MaxPath); });
    return AnsiPath(length, wide, shortPath, bufferLength);
}

// Appends to ...2 where it exists, as MoveFileEx does, in the NT form.
BOOL WINAPI MoveFileExW(LPCWSTR existing, LPCWSTR newName, DWORD flags) {
    RecordRedirected("MoveFileExW(" + Text(existing) + ", " + Text(newName) + ", " +
                         std::to_string(flags) + ")",
                     true);
    if (!fake.moveFileResult) {
        fake.lastError = fake.registerError;
    } else if (fake.registrationKept) {
        const bool second = fake.pending.count("PendingFileRenameOperations2") != 0;
        auto &list = fake.pending[second ? "PendingFileRenameOperations2" : "PendingFileRenameOperations"];
        for (std::string name : {Text(existing), Text(newName)}) {
            const bool device = name.compare(0, 4, "\\\\?\\") == 0 || name.compare(0, 4, "\\\\.\\") == 0;
            name = device ? name.substr(4) : name;
            list.push_back((list.size() % 2 != 0 ? "!\\??\\" : "\\??\\") + name);
        }
        list.insert(list.end(), fake.appendedAfter.begin(), fake.appendedAfter.end());
        if (fake.unreadableAfterRegistration) {
            list.clear();
        }
    }
    return fake.moveFileResult;
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    Record("WritePrivateProfileStringA(" + Text(section) + ", " + Text(key) + ", " + Text(value) +
           ", " + Text(fileName) + ")");
    if (!fake.profileResult) {
        fake.lastError = fake.registerError;
    } else if (section != nullptr && fake.registrationKept) {
        fake.renameSection.push_back(FromAnsi(key) + "=" + FromAnsi(value));
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

// NTDLL is mapped into every NT process.
HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    Record("GetModuleHandleA(" + Text(name) + ")");
    if (strcasecmp(name, "ntdll.dll") == 0) {
        return fake.version.dwPlatformId == VER_PLATFORM_WIN32_NT ? &fake.systemMutex : nullptr;
    }
    return strcasecmp(name, "kernel32.dll") == 0 ? &fake.version : nullptr;
}

// Handles are counted as buffers the program must release.
HANDLE WINAPI CreateMutexA(SECURITY_ATTRIBUTES *security, BOOL, LPCSTR name) {
    Record("CreateMutexA(" + Text(name) + (security != nullptr ? ", secured)" : ")"));
    if (fake.mutexError != ERROR_SUCCESS) {
        fake.lastError = fake.mutexError;
        return nullptr;
    }
    ++fake.liveAllocations;
    return &fake.waitResult;
}

// Private namespaces (Vista on), as Windows has them, or Wine 8's NULL.
HANDLE WINAPI CreateBoundaryDescriptorW(LPCWSTR name, ULONG) {
    Record("CreateBoundaryDescriptorW(" + Text(name) + ")");
    return fake.boundaryMissing ? nullptr : &fake.namespaceExists;
}

BOOL WINAPI AddSIDToBoundaryDescriptor(HANDLE *boundary, PVOID sid) {
    const BYTE administrators[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
    Record(std::string("AddSIDToBoundaryDescriptor(") +
           (memcmp(sid, administrators, sizeof administrators) == 0 ? "Administrators)" : "?)"));
    return *boundary == &fake.namespaceExists;
}

void WINAPI DeleteBoundaryDescriptor(HANDLE) { Record("DeleteBoundaryDescriptor()"); }

HANDLE WINAPI CreatePrivateNamespaceW(SECURITY_ATTRIBUTES *security, PVOID, LPCWSTR alias) {
    Record("CreatePrivateNamespaceW(" + Text(alias) + (security != nullptr ? ", secured)" : ")"));
    fake.lastError = ERROR_ALREADY_EXISTS;
    return fake.namespaceExists ? nullptr : (++fake.liveAllocations, &fake.boundaryMissing);
}

HANDLE WINAPI OpenPrivateNamespaceW(PVOID, LPCWSTR alias) {
    Record("OpenPrivateNamespaceW(" + Text(alias) + ")");
    return ++fake.liveAllocations, &fake.boundaryMissing;
}

BYTE WINAPI ClosePrivateNamespace(HANDLE, ULONG) {
    Record("ClosePrivateNamespace()");
    --fake.liveAllocations;
    return TRUE;
}

LONG WINAPI FakeNtOpenMutant(HANDLE *mutant, DWORD access, OBJECT_ATTRIBUTES *attributes) {
    const std::wstring name(attributes->ObjectName->Buffer, attributes->ObjectName->Length / 2);
    Record("NtOpenMutant(" + Narrow(name.c_str()) + ", " + std::to_string(access) + ")");
    if (!fake.systemMutex) {
        return static_cast<LONG>(0xC0000034);  // STATUS_OBJECT_NAME_NOT_FOUND
    }
    if (fake.systemMutexDenied) {
        return static_cast<LONG>(0xC0000022);  // STATUS_ACCESS_DENIED
    }
    ++fake.liveAllocations;
    *mutant = &fake.systemMutex;
    return 0;
}

ULONG WINAPI FakeRtlNtStatusToDosError(LONG status) {
    return status == static_cast<LONG>(0xC0000034) ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
}

// The bytes of each SID an entry, an owner or the token may name.
std::string SidBytes(FakeWindows::Ace::Sid sid) {
    const std::string sids[] = {std::string("\1\1\0\0\0\0\0\1\0\0\0\0", 12),
                                std::string("\1\2\0\0\0\0\0\5\x20\0\0\0\x21\2\0\0", 16),
                                std::string("\1\1\0\0\0\0\0\5\x12\0\0\0", 12),
                                // S-1-5-21-1-2-3-1001 and -1000: two users of one domain.
                                std::string("\1\5\0\0\0\0\0\5\x15\0\0\0\1\0\0\0\2\0\0\0\3\0\0\0\xE9\3\0\0", 28),
                                std::string("\1\5\0\0\0\0\0\5\x15\0\0\0\1\0\0\0\2\0\0\0\3\0\0\0\xE8\3\0\0", 28),
                                std::string("\1\1\0\0\0\0\0\5\x13\0\0\0", 12),
                                std::string("\1\1\0\0\0\0\0\5\x0B\0\0\0", 12),
                                std::string("\1\1\0\0\0\0\0\5\x04\0\0\0", 12),
                                std::string("\1\2\0\0\0\0\0\5\x20\0\0\0\x20\2\0\0", 16),
                                std::string("\1\6\0\0\0\0\0\5\x50\0\0\0\xB5\x89\xFB\x38\x19\x84\xC2\xCB"
                                            "\x5C\x6C\x23\x6D\x57\0\x77\x6E\xC0\2\x64\x87", 32),
                                std::string("\1\1\0\0\0\0\0\3\4\0\0\0", 12),
                                std::string("\1\1\0\0\0\0\0\3\0\0\0\0", 12),
                                std::string("\1\2\0\0\0\0\0\5\x20\0\0\0\x23\2\0\0", 16)};
    return sids[sid];
}

// A self-relative descriptor with the DACL given, and the owner after it
// where it is asked for.
LONG WINAPI FakeNtQuerySecurityObject(HANDLE file, DWORD information, void *descriptor, ULONG size,
                                      ULONG *needed) {
    const std::string &path = *static_cast<std::string *>(file);
    const std::string local = path.compare(0, 4, "\\\\?\\") == 0 ? path.substr(4) : path;
    const auto found = fake.dacls.find(local);
    if (reinterpret_cast<uintptr_t>(descriptor) % 4 != 0) {
        return static_cast<LONG>(0x80000002);  // STATUS_DATATYPE_MISALIGNMENT
    }
    if (std::count(fake.hiddenDacls.begin(), fake.hiddenDacls.end(), local) != 0) {
        return static_cast<LONG>(0xC0000022);  // STATUS_ACCESS_DENIED
    }
    if (found == fake.dacls.end()) {
        return static_cast<LONG>(0xC00000BB);  // STATUS_NOT_SUPPORTED
    }
    auto number = [](DWORD value, int bytes) { return std::string(reinterpret_cast<char *>(&value), bytes); };
    std::string entries;
    for (const FakeWindows::Ace &ace : found->second) {
        const std::string sid = SidBytes(ace.sid);
        // An object entry's flags, then a GUID for each type they name.
        const std::string objectFlags = ace.type == 5 || ace.type == 11
            ? number(ace.objectFlags, 4) + std::string(16 * __builtin_popcount(ace.objectFlags & 3), '\0') : "";
        entries += number(ace.type, 1) + number(ace.flags, 1) +
                   number(static_cast<DWORD>(8 + objectFlags.size() + sid.size()), 2) + number(ace.mask, 4) +
                   objectFlags + sid;
    }
    const std::string acl = found->second.empty() ? "" : std::string("\2\0", 2) +
                            number(static_cast<DWORD>(8 + entries.size()), 2) +
                            number(static_cast<DWORD>(found->second.size()), 2) + std::string(2, '\0') + entries;
    const auto owner = fake.owners.find(local);
    const bool hasOwner = owner != fake.owners.end() && (information & OWNER_SECURITY_INFORMATION) != 0;
    const std::string header = std::string("\1\0\4\x80", 4) +
                               number(hasOwner ? static_cast<DWORD>(20 + acl.size()) : 0, 4) +
                               std::string(8, '\0') + number(acl.empty() ? 0 : 20, 4);
    const std::string bytes = header + acl + (hasOwner ? SidBytes(owner->second) : "");  // always fits
    *needed = static_cast<ULONG>(bytes.size());
    memcpy(descriptor, bytes.data(), std::min<size_t>(bytes.size(), size));
    return 0;
}

// The token, counted as a buffer the program must release.
LONG WINAPI FakeNtOpenProcessToken(HANDLE process, DWORD access, HANDLE *token) {
    Record("NtOpenProcessToken(" + std::to_string(reinterpret_cast<intptr_t>(process)) + ", " +
           std::to_string(access) + ")");
    if (process != reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)) || (access & TOKEN_QUERY) == 0) {
        return static_cast<LONG>(0xC0000022);  // STATUS_ACCESS_DENIED
    }
    ++fake.liveAllocations;
    *token = &fake.tokenUnreadable;
    return 0;
}

LONG WINAPI FakeNtQueryInformationToken(HANDLE token, TOKEN_INFORMATION_CLASS information, void *buffer,
                                        ULONG size, ULONG *needed) {
    Record("NtQueryInformationToken(" + std::to_string(information) + ")");
    const std::string sid = SidBytes(FakeWindows::Ace::Running);
    *needed = static_cast<ULONG>(sizeof(TOKEN_USER) + sid.size());
    if (token != &fake.tokenUnreadable || information != TokenUser || fake.tokenUnreadable) {
        return static_cast<LONG>(0xC0000022);  // STATUS_ACCESS_DENIED
    }
    if (size < *needed) {
        return static_cast<LONG>(0xC0000023);  // STATUS_BUFFER_TOO_SMALL
    }
    TOKEN_USER user = {{static_cast<BYTE *>(buffer) + sizeof(TOKEN_USER), 0}};
    memcpy(buffer, &user, sizeof user);
    memcpy(static_cast<BYTE *>(buffer) + sizeof user, sid.data(), sid.size());
    return 0;
}

DWORD WINAPI WaitForSingleObject(HANDLE mutex, DWORD milliseconds) {
    Record(std::string("WaitForSingleObject(") + (mutex == &fake.systemMutex ? "system" : "own") + ", " +
           std::to_string(milliseconds) + ")");
    fake.lockHeld = fake.waitResult == WAIT_OBJECT_0 || fake.waitResult == WAIT_ABANDONED;
    fake.lastError = fake.waitResult == WAIT_FAILED ? ERROR_INVALID_HANDLE : fake.lastError;
    return fake.waitResult;
}

BOOL WINAPI ReleaseMutex(HANDLE mutex) {
    Record(std::string("ReleaseMutex(") + (mutex == &fake.systemMutex ? "system" : "own") + ")");
    fake.lockHeld = false;
    return TRUE;
}

DWORD WINAPI QueryDosDeviceW(LPCWSTR device, LPWSTR target, DWORD size) {
    Record("QueryDosDeviceW(" + Text(device) + ")");
    return FromTable(fake.dosDevices, Narrow(device), target, size);
}

DWORD WINAPI QueryDosDeviceA(LPCSTR device, LPSTR target, DWORD size) {
    static WCHAR wide[MaxPath];
    const DWORD length = AsAnsi("QueryDosDeviceA(" + Text(device) + ")", [&] {
        return QueryDosDeviceW(Widen(FromAnsi(device)).c_str(), wide, MaxPath);
    });
    return length != 0 && AnsiPath(length - 1, wide, target, size) < size ? length : 0;
}

BOOL WINAPI GetVolumePathNameW(LPCWSTR path, LPWSTR volume, DWORD size) {
    RecordRedirected("GetVolumePathNameW(" + Text(path) + ")", true);
    return !TooLong(path) && FromTable(fake.volumes, Narrow(path), volume, size) != 0;
}

BOOL WINAPI GetVolumeNameForVolumeMountPointW(LPCWSTR root, LPWSTR name, DWORD size) {
    Record("GetVolumeNameForVolumeMountPointW(" + Text(root) + ")");
    return FromTable(fake.volumes, Narrow(root), name, size) != 0;
}

// A disk's number, from its device name; -1 for any other name.
long DiskNumber(const std::string &device) {
    const std::string disk = "\\\\.\\PhysicalDrive";
    return device.compare(0, disk.size(), disk) == 0 ? std::stol(device.substr(disk.size())) : -1;
}

BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, void *query, DWORD, void *answer, DWORD size,
                            LPDWORD returned, LPOVERLAPPED) {
    const std::string &name = *static_cast<std::string *>(device);
    Record("DeviceIoControl(" + name + ", " + std::to_string(code) + ")");
    const auto disks = fake.volumeDisks.find(name);
    const auto bus = fake.busTypes.find(static_cast<DWORD>(DiskNumber(name)));
    std::string bytes;
    if (code == IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS && disks != fake.volumeDisks.end()) {
        VOLUME_DISK_EXTENTS head = {static_cast<DWORD>(disks->second.size()), {}};
        bytes.assign(reinterpret_cast<char *>(&head), offsetof(VOLUME_DISK_EXTENTS, Extents));
        for (const DWORD disk : disks->second) {
            const DISK_EXTENT extent = {disk, {}, {}};
            bytes.append(reinterpret_cast<const char *>(&extent), sizeof extent);
        }
    } else if (code == IOCTL_STORAGE_QUERY_PROPERTY && bus != fake.busTypes.end() &&
               static_cast<STORAGE_PROPERTY_QUERY *>(query)->PropertyId == StorageDeviceProperty) {
        STORAGE_DEVICE_DESCRIPTOR descriptor = {};
        descriptor.Version = descriptor.Size = sizeof descriptor;
        descriptor.BusType = static_cast<STORAGE_BUS_TYPE>(bus->second);
        bytes.assign(reinterpret_cast<char *>(&descriptor), sizeof descriptor);
    }
    fake.lastError = bytes.empty() || bytes.size() > size ? ERROR_INVALID_FUNCTION : fake.lastError;
    *returned = static_cast<DWORD>(bytes.size() <= size ? bytes.size() : 0);
    memcpy(answer, bytes.data(), *returned);
    return *returned != 0;
}

// One entry: the file's host volume, and its path there.
DWORD WINAPI FakeGetStorageDependencyInformation(HANDLE disk, GET_STORAGE_DEPENDENCY_FLAG flags, ULONG,
                                                 STORAGE_DEPENDENCY_INFO *info, ULONG *) {
    static std::wstring host, path, outerHost, outerPath;
    const std::string &name = *static_cast<std::string *>(disk);
    Record("GetStorageDependencyInformation(" + name + ", " + std::to_string(flags) + ")");
    const auto file = fake.virtualDiskFiles.find(static_cast<DWORD>(DiskNumber(name)));
    if (file == fake.virtualDiskFiles.end() || info->Version != STORAGE_DEPENDENCY_INFO_VERSION_2) {
        return ERROR_INVALID_PARAMETER;
    }
    host = Widen(file->second.substr(0, 49));
    path = Widen(file->second.substr(48));
    STORAGE_DEPENDENCY_INFO_TYPE_2 *entries = info->Version2Entries;
    const auto outer = fake.outerDiskFiles.find(static_cast<DWORD>(DiskNumber(name)));
    if (outer != fake.outerDiskFiles.end()) {  // listed first, a level further from the disk
        outerHost = Widen(outer->second.substr(0, 49)), outerPath = Widen(outer->second.substr(48));
        *entries++ = {0, 0, {}, 2, nullptr, &outerHost[0], nullptr, &outerPath[0]};
    }
    *entries = {0, 0, {}, 1, nullptr, &host[0], nullptr, &path[0]};
    info->NumberEntries = static_cast<ULONG>(entries - info->Version2Entries + 1);
    return ERROR_SUCCESS;
}

HANDLE WINAPI FindFirstFileW(LPCWSTR path, WIN32_FIND_DATAW *data) {
    RecordRedirected("FindFirstFileW(" + Text(path) + ")", true);
    const auto found = fake.found.find(Narrow(path));
    if (TooLong(path) || found == fake.found.end()) {
        return INVALID_HANDLE_VALUE;
    }
    CopyPath(Widen(found->second.longName), data->cFileName, MAX_PATH);
    CopyPath(Widen(found->second.shortName), data->cAlternateFileName, 14);
    data->dwReserved0 = found->second.tag;
    return &fake.found;
}

HANDLE WINAPI FindFirstFileA(LPCSTR path, WIN32_FIND_DATAA *data) {
    WIN32_FIND_DATAW wide;
    const HANDLE found = AsAnsi("FindFirstFileA(" + FromAnsi(path) + ")", [&] {
        return FindFirstFileW(Widen(FromAnsi(path)).c_str(), &wide);
    });
    if (found != INVALID_HANDLE_VALUE) {
        CopyPath(ToAnsi(Narrow(wide.cFileName)), data->cFileName, MAX_PATH);
        CopyPath(ToAnsi(Narrow(wide.cAlternateFileName)), data->cAlternateFileName, 14);
    }
    return found;
}

BOOL WINAPI FindClose(HANDLE) { return TRUE; }

// A handle is counted as a buffer the program must release.
HANDLE WINAPI CreateFileW(LPCWSTR pathText, DWORD access, DWORD, void *, DWORD, DWORD flags, HANDLE) {
    const std::string path = Narrow(pathText);
    // A volume or a disk is no file system path.
    const bool device = fake.volumeDisks.count(path) != 0 ||
                        fake.busTypes.count(static_cast<DWORD>(DiskNumber(path))) != 0;
    const std::string call = "CreateFileW(" + path + ", " + std::to_string(access) + ")";
    if (device) {
        Record(call);
        fake.finalPaths.emplace(path, path);
    } else {
        RecordRedirected(call, true);
        // A file opens only where a server it may lead to could not act as the caller.
        const DWORD identifyOnly = SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;
        if ((flags & (identifyOnly | 0x30000)) != identifyOnly) {  // the level, not delegation
            return INVALID_HANDLE_VALUE;
        }
    }
    const bool deviceForm = path.compare(0, 4, "\\\\?\\") == 0 || path.compare(0, 4, "\\\\.\\") == 0;
    const std::string local = deviceForm ? path.substr(4) : path;
    for (const auto &file : fake.files) {
        if (file.second == path || file.second == local) {
            // A share's final path is \\?\UNC\server\share\...
            fake.finalPaths.emplace(path, local.compare(0, 2, "\\\\") == 0 ? "\\\\?\\UNC\\" + local.substr(2)
                                                                       : "\\\\?\\" + local);
        }
    }
    auto found = fake.finalPaths.find(path);
    found = found == fake.finalPaths.end() ? fake.finalPaths.find(local) : found;
    if (TooLong(pathText) || found == fake.finalPaths.end()) {
        return INVALID_HANDLE_VALUE;
    }
    ++fake.liveAllocations;
    return &found->second;
}

// An empty final path: the volume has no drive letter.
DWORD WINAPI GetFinalPathNameByHandleW(HANDLE file, LPWSTR path, DWORD size, DWORD) {
    const std::string &finalPath = *static_cast<std::string *>(file);
    fake.lastError = finalPath.empty() ? ERROR_PATH_NOT_FOUND : fake.lastError;
    return CopyPath(Widen(finalPath), path, size);
}

DWORD WINAPI GetFileType(HANDLE file) {
    const auto type = fake.fileTypes.find(*static_cast<std::string *>(file));
    return type != fake.fileTypes.end() ? type->second : FILE_TYPE_DISK;
}

bool IsCaseSensitive(const std::string &folder) {
    const auto &folders = fake.caseSensitive;
    return folder.size() > 4 && std::find(folders.begin(), folders.end(), folder.substr(4)) != folders.end();
}

BOOL WINAPI GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION *info) {
    std::string path = *static_cast<std::string *>(file);
    const auto link = fake.hardLinks.find(path);
    path = link != fake.hardLinks.end() ? link->second : path;
    if (!IsCaseSensitive(path.substr(0, path.rfind('\\')))) {
        static WCHAR upper[MaxPath];  // as the file system upper-cases it
        LCMapStringW(0, 0, Widen(path).c_str(), -1, upper, MaxPath);
        fake.calls.pop_back();
        path = Narrow(upper);
    }
    *info = BY_HANDLE_FILE_INFORMATION{};
    info->dwVolumeSerialNumber = 0x1234;
    info->nFileIndexLow = static_cast<DWORD>(std::hash<std::string>()(path));
    return TRUE;
}

// FileIdInfo: the index above, and the upper half of the ID given per path.
BOOL WINAPI FakeGetFileInformationByHandleEx(HANDLE file, int informationClass, void *information, DWORD size) {
    if (informationClass == FileCaseSensitiveInfoClass) {
        *static_cast<DWORD *>(information) = IsCaseSensitive(*static_cast<std::string *>(file)) ? 1 : 0;
        return size == sizeof(DWORD);
    }
    BY_HANDLE_FILE_INFORMATION info;
    GetFileInformationByHandle(file, &info);
    const auto high = fake.idHigh.find(*static_cast<std::string *>(file));
    const DWORD id[6] = {info.dwVolumeSerialNumber, 0, info.nFileIndexLow, info.nFileIndexHigh,
                         high != fake.idHigh.end() ? high->second : 0, 0};
    memcpy(information, id, std::min<size_t>(size, sizeof id));
    return informationClass == FileIdInfoClass && size == sizeof id &&
           reinterpret_cast<uintptr_t>(information) % 8 == 0;  // else STATUS_DATATYPE_MISALIGNMENT
}

// Upper-casing as the file system does: unit by unit, ASCII and Latin-1 here.
int WINAPI LCMapStringW(LCID, DWORD, LPCWSTR text, int count, LPWSTR upper, int size) {
    Record("LCMapStringW");
    const size_t length = count < 0 ? std::char_traits<WCHAR>::length(text) + 1 : static_cast<size_t>(count);
    std::transform(text, text + std::min<size_t>(length, size), upper, [](WCHAR c) {
        const bool lower = (c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7);
        return lower ? static_cast<WCHAR>(c - 0x20) : c;
    });
    return length <= static_cast<size_t>(size) ? static_cast<int>(length) : 0;
}

// Without ignoreCase, unit by unit as they are.
int WINAPI CompareStringOrdinal(LPCWSTR first, int firstCount, LPCWSTR second, int secondCount, BOOL ignoreCase) {
    static WCHAR upper[2][MaxPath];
    const int lengths[] = {LCMapStringW(0, 0, first, firstCount, upper[0], MaxPath),
                           LCMapStringW(0, 0, second, secondCount, upper[1], MaxPath)};
    fake.calls.resize(fake.calls.size() - 2);
    if (!ignoreCase) {
        std::copy(first, first + lengths[0], upper[0]), std::copy(second, second + lengths[1], upper[1]);
    }
    const bool same = lengths[0] == lengths[1] && std::equal(upper[0], upper[0] + lengths[0], upper[1]);
    return same ? CSTR_EQUAL : CSTR_EQUAL + 1;
}

// The registry: the Session Manager's key, with the values in `pending`,
// and AutoAttachVirtualDisks, whose subkeys each hold a Path.
LONG WINAPI RegOpenKeyExW(HKEY root, LPCWSTR key, DWORD, REGSAM access, PHKEY result) {
    Record("RegOpenKeyExW(" + Text(key) + ", " + std::to_string(access) + ")");
    const auto disk = fake.attachedAtBoot.find(Text(key));
    if (root == &fake.attachedAtBoot) {
        *result = disk != fake.attachedAtBoot.end() ? &disk->second : nullptr;
        return *result != nullptr ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }
    const bool autoAttach = Text(key) == "SYSTEM\\CurrentControlSet\\Control\\AutoAttachVirtualDisks";
    *result = autoAttach ? static_cast<void *>(&fake.attachedAtBoot) : &fake.pending;
    // No AutoAttachVirtualDisks key where nothing is listed.
    return root == HKEY_LOCAL_MACHINE && !(autoAttach && fake.attachedAtBoot.empty()) ? ERROR_SUCCESS
                                                                                      : ERROR_FILE_NOT_FOUND;
}

LONG WINAPI RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD length, LPDWORD, LPWSTR, LPDWORD,
                          FILETIME *) {
    Record("RegEnumKeyExW(" + std::to_string(index) + ")");
    if (key != &fake.attachedAtBoot || index >= fake.attachedAtBoot.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    *length = CopyPath(Widen(std::next(fake.attachedAtBoot.begin(), index)->first), name, *length);
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
    Record("RegQueryValueExW(" + Text(name) + ")");
    if (key != &fake.pending) {  // a Path, unterminated as the registry may keep it
        const std::wstring path = Widen(*static_cast<std::string *>(key));
        *type = REG_SZ;
        *size = std::min<DWORD>(*size, static_cast<DWORD>(path.size() * sizeof(WCHAR)));
        std::copy(path.begin(), path.begin() + *size / sizeof(WCHAR), reinterpret_cast<WCHAR *>(data));
        return ERROR_SUCCESS;
    }
    const auto found = fake.pending.find(Narrow(name));
    if (found == fake.pending.end() || found->second.empty()) {
        return found == fake.pending.end() ? ERROR_FILE_NOT_FOUND : fake.registryError;
    }
    std::wstring value;
    for (const std::string &text : found->second) {
        value += Widen(text) + L'\0';
    }
    value += L'\0';
    if (type != nullptr) {
        *type = fake.pendingType;
    }
    static DWORD growth = 0;
    growth = fake.pendingGrows ? growth + 2 : 0;
    // The cut is in Windows' bytes, two to a character; a character is
    // wider here.
    const DWORD needed = static_cast<DWORD>((value.size() * 2 - fake.pendingCut) * sizeof(WCHAR) / 2 + growth);
    value += L'\0';  // room for a byte more than the value holds
    const bool fits = data != nullptr && *size >= needed;
    if (fits) {
        memcpy(data, value.data(), needed - growth);
    }
    *size = needed;
    if (data == nullptr) {  // another program appends while it is read
        found->second.insert(found->second.end(), fake.appendedWhileRead.begin(), fake.appendedWhileRead.end());
        fake.appendedWhileRead.clear();
    }
    return fits || data == nullptr ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

LONG WINAPI RegCloseKey(HKEY) {
    Record("RegCloseKey");
    return ERROR_SUCCESS;
}

DWORD WINAPI GetPrivateProfileSectionA(LPCSTR section, LPSTR text, DWORD size, LPCSTR file) {
    Record("GetPrivateProfileSectionA(" + Text(section) + ", " + Text(file) + ")");
    const bool written = std::any_of(fake.calls.begin(), fake.calls.end(), [](const std::string &call) {
        return call.compare(0, 27, "WritePrivateProfileStringA(") == 0;
    });
    if (written && fake.unreadableAfterRegistration) {
        fake.lastError = ERROR_ACCESS_DENIED;
        return 0;
    }
    std::string lines;
    for (const std::string &line : fake.renameSection) {
        lines += ToAnsi(line) + '\0';
    }
    lines = lines.substr(0, size - 2);
    memcpy(text, lines.c_str(), lines.size() + 1);
    return static_cast<DWORD>(lines.size());
}

UINT WINAPI SetErrorMode(UINT mode) {
    Record("SetErrorMode(" + std::to_string(mode) + ")");
    return 0;
}

BOOL WINAPI CloseHandle(HANDLE) {
    --fake.liveAllocations;
    return TRUE;
}

// USER32 (as LoadLibraryA gives it) has CharToOemA; KERNEL32 has the
// functions the program looks up unless listed in `missing`, and the
// redirector's switches when the fake is 64-bit Windows.
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
    Record("GetProcAddress(" + Text(name) + ")");
    if (module == &fake && strcmp(name, "CharToOemA") == 0) {
        return Exported(&FakeCharToOemA);
    }
    if (module == &fake && strcmp(name, "GetStorageDependencyInformation") == 0) {
        return Exported(&FakeGetStorageDependencyInformation);
    }
    if (module == &fake.systemMutex) {
        return strcmp(name, "NtOpenMutant") == 0            ? Exported(&FakeNtOpenMutant)
               : strcmp(name, "RtlNtStatusToDosError") == 0 ? Exported(&FakeRtlNtStatusToDosError)
               : strcmp(name, "NtQuerySecurityObject") == 0 ? Exported(&FakeNtQuerySecurityObject)
               : strcmp(name, "NtOpenProcessToken") == 0 ? Exported(&FakeNtOpenProcessToken)
               : strcmp(name, "NtQueryInformationToken") == 0 ? Exported(&FakeNtQueryInformationToken)
                                                            : nullptr;
    }
    // ADVAPI32 (as LoadLibraryA gives it too) has the registry functions.
    if (module == &fake && strncmp(name, "Reg", 3) == 0) {
        module = &fake.version;
    } else if (module != &fake.version ||
        std::find(fake.missing.begin(), fake.missing.end(), name) != fake.missing.end()) {
        return nullptr;
    }
    const std::map<std::string, FARPROC> kernel32 = {
        {"SearchPathW", Exported(&SearchPathW)},
        {"GetFullPathNameW", Exported(&GetFullPathNameW)},
        {"GetShortPathNameW", Exported(&GetShortPathNameW)},
        {"GetSystemDirectoryW", Exported(&GetSystemDirectoryW)},
        {"GetFileAttributesW", Exported(&GetFileAttributesW)},
        {"GetDriveTypeW", Exported(&GetDriveTypeW)},
        {"GetVolumeInformationW", Exported(&GetVolumeInformationW)},
        {"QueryDosDeviceA", Exported(&QueryDosDeviceA)},
        {"QueryDosDeviceW", Exported(&QueryDosDeviceW)},
        {"GetVolumePathNameW", Exported(&GetVolumePathNameW)},
        {"MoveFileExW", Exported(&MoveFileExW)},
        {"CompareStringOrdinal", Exported(&CompareStringOrdinal)},
        {"LCMapStringW", Exported(&LCMapStringW)},
        {"GetFileInformationByHandle", Exported(&GetFileInformationByHandle)},
        {"RegOpenKeyExW", Exported(&RegOpenKeyExW)},
        {"RegQueryValueExW", Exported(&RegQueryValueExW)},
        {"RegCloseKey", Exported(&RegCloseKey)},
        {"GetConsoleMode", Exported(&GetConsoleMode)},
        {"WriteConsoleW", Exported(&WriteConsoleW)},
        {"FormatMessageW", Exported(&FormatMessageW)},
        {"FindFirstFileW", Exported(&FindFirstFileW)},
        {"CreateFileW", Exported(&CreateFileW)},
        {"GetFinalPathNameByHandleW", Exported(&GetFinalPathNameByHandleW)},
        {"GetFileType", Exported(&GetFileType)},
        {"GetVolumeNameForVolumeMountPointW", Exported(&GetVolumeNameForVolumeMountPointW)},
        {"DeviceIoControl", Exported(&DeviceIoControl)},
        {"RegEnumKeyExW", Exported(&RegEnumKeyExW)},
    };
    // Vista's private namespaces, and Windows 8's 128-bit file IDs.
    const DWORD version = fake.version.dwMajorVersion * 100 + fake.version.dwMinorVersion;
    const std::map<std::string, FARPROC> vista = {
        {"CreateBoundaryDescriptorW", Exported(&CreateBoundaryDescriptorW)},
        {"AddSIDToBoundaryDescriptor", Exported(&AddSIDToBoundaryDescriptor)},
        {"DeleteBoundaryDescriptor", Exported(&DeleteBoundaryDescriptor)},
        {"CreatePrivateNamespaceW", Exported(&CreatePrivateNamespaceW)},
        {"OpenPrivateNamespaceW", Exported(&OpenPrivateNamespaceW)},
        {"ClosePrivateNamespace", Exported(&ClosePrivateNamespace)},
    };
    if (version >= 600 && vista.count(name) != 0) {
        return vista.at(name);
    }
    if (version >= 602 && strcmp(name, "GetFileInformationByHandleEx") == 0) {
        return Exported(&FakeGetFileInformationByHandleEx);
    }
    // What older Windows lack: GetVolumePathNameW before 2000, the final
    // path and the ordinal comparison before Vista.
    const DWORD release = fake.version.dwMajorVersion * 100 + fake.version.dwMinorVersion;
    const bool vistaOnly = strcmp(name, "GetFinalPathNameByHandleW") == 0 || strcmp(name, "CompareStringOrdinal") == 0;
    if ((release < 600 && vistaOnly) || (release < 500 && strcmp(name, "GetVolumePathNameW") == 0)) {
        return nullptr;
    }
    const auto found = kernel32.find(name);
    if (found != kernel32.end()) {
        return found->second;
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

DWORD WINAPI GetFileAttributesW(LPCWSTR pathText) {
    const std::string path = Narrow(pathText);
    RecordRedirected("GetFileAttributesW(" + path + ")", true);
    if (TooLong(pathText)) {
        return INVALID_FILE_ATTRIBUTES;
    }
    const bool folder = std::find(fake.folders.begin(), fake.folders.end(), path) != fake.folders.end();
    const auto given = fake.attributes.find(path);
    if (given != fake.attributes.end()) {
        return given->second;
    }
    return folder ? FILE_ATTRIBUTE_DIRECTORY : 0x20;  // FILE_ATTRIBUTE_ARCHIVE
}

DWORD WINAPI GetFileAttributesA(LPCSTR path) {
    return AsAnsi("GetFileAttributesA(" + FromAnsi(path) + ")",
                  [&] { return GetFileAttributesW(Widen(FromAnsi(path)).c_str()); });
}

UINT WINAPI GetDriveTypeW(LPCWSTR root) {
    RecordRedirected("GetDriveTypeW(" + Text(root) + ")", true);
    const auto found = fake.driveTypes.find(Narrow(root));
    return found != fake.driveTypes.end() ? found->second : 3;  // DRIVE_FIXED
}

BOOL WINAPI GetVolumeInformationW(LPCWSTR root, LPWSTR, DWORD, LPDWORD, LPDWORD, LPDWORD flags, LPWSTR, DWORD) {
    *flags = std::count(fake.withoutAcls.begin(), fake.withoutAcls.end(), Narrow(root)) != 0 ? 0 : FILE_PERSISTENT_ACLS;
    return TRUE;
}

UINT WINAPI GetDriveTypeA(LPCSTR root) {
    return AsAnsi("GetDriveTypeA(" + Text(root) + ")",
                  [&] { return GetDriveTypeW(Widen(FromAnsi(root)).c_str()); });
}

DWORD WINAPI GetFullPathNameW(LPCWSTR nameText, DWORD bufferLength, LPWSTR buffer, LPWSTR *) {
    const std::string name = Narrow(nameText);
    Record("GetFullPathNameW(" + name + ", " + std::to_string(bufferLength) + ")");
    const bool full = name[0] == '\\' || (name[0] != '\0' && name[1] == ':');
    // Without its . and .. folders; \\.\ stays in front.
    const bool dotDevice = name.compare(0, 4, "\\\\.\\") == 0;
    std::string path;
    std::stringstream folders(full ? name.substr(dotDevice ? 4 : 0) : fake.currentDirectory + "\\" + name);
    for (std::string folder; std::getline(folders, folder, '\\');) {
        if (folder == "..") {
            path.erase(path.rfind('\\'));
        } else if (folder != ".") {
            path += (path.empty() ? "" : "\\") + folder;
        }
    }
    path = dotDevice ? "\\\\.\\" + path : name.compare(0, 2, "\\\\") == 0 ? "\\\\" + path : path;  // \\server\share
    return CopyPath(Widen(path), buffer, bufferLength);
}

DWORD WINAPI GetFullPathNameA(LPCSTR name, DWORD bufferLength, LPSTR buffer, LPSTR *) {
    static WCHAR wide[MaxPath];
    const DWORD length = AsAnsi(
        "GetFullPathNameA(" + FromAnsi(name) + ", " + std::to_string(bufferLength) + ")",
        [&] { return GetFullPathNameW(Widen(FromAnsi(name)).c_str(), MaxPath, wide, nullptr); });
    return AnsiPath(length, wide, buffer, bufferLength);
}

UINT WINAPI GetSystemDirectoryW(LPWSTR buffer, UINT size) {
    Record("GetSystemDirectoryW(" + std::to_string(size) + ")");
    return CopyPath(Widen(fake.systemDirectory), buffer, size);
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
    static WCHAR wide[MaxPath];
    const DWORD length = AsAnsi("GetSystemDirectoryA(" + std::to_string(size) + ")",
                                [&] { return GetSystemDirectoryW(wide, MaxPath); });
    return AnsiPath(length, wide, buffer, size);
}

int WINAPI lstrlenA(LPCSTR text) { return static_cast<int>(strlen(text)); }

HANDLE WINAPI GetStdHandle(DWORD which) {
    return which == STD_OUTPUT_HANDLE ? &fake.console : nullptr;
}

BOOL WINAPI GetConsoleMode(HANDLE output, LPDWORD mode) {
    *mode = 3;
    return output == &fake.console && fake.isConsole;
}

// What a console shows arrives as UTF-8 here.
BOOL WINAPI WriteConsoleW(HANDLE output, const void *units, DWORD count, LPDWORD written, void *) {
    Record("WriteConsoleW()");
    fake.wroteUnderLock = fake.wroteUnderLock || fake.lockHeld;
    const std::wstring text(static_cast<const WCHAR *>(units), count);
    fake.console += Narrow(text.c_str());
    *written = count;
    return output == &fake.console && fake.isConsole;
}

// The system's text from FormatMessageA, as Windows gives it in Unicode.
DWORD WINAPI FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                            LPWSTR buffer, DWORD size, va_list *arguments) {
    char *ansi = nullptr;
    const DWORD length = AsAnsi("FormatMessageW", [&] {
        return FormatMessageA(flags, source, messageId, languageId, reinterpret_cast<LPSTR>(&ansi),
                              size, arguments);
    });
    if (length == 0) {
        return 0;
    }
    const std::wstring text = Widen(FromAnsi(ansi));
    free(ansi);
    WCHAR *units = static_cast<WCHAR *>(malloc((text.size() + 1) * sizeof(WCHAR)));
    std::copy(text.c_str(), text.c_str() + text.size() + 1, units);
    *reinterpret_cast<WCHAR **>(buffer) = units;
    return static_cast<DWORD>(text.size());
}

BOOL WINAPI WriteFile(HANDLE file, const void *bytes, DWORD count, LPDWORD written,
                      LPOVERLAPPED overlapped) {
    if (file != &fake.console || written == nullptr || overlapped != nullptr) {
        return FALSE;
    }
    fake.wroteUnderLock = fake.wroteUnderLock || fake.lockHeld;
    fake.console.append(static_cast<const char *>(bytes), count);
    *written = count;
    return TRUE;
}
