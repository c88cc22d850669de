// The failure report: the argument as typed and the system's own text for
// the error: on a console that shows Unicode as the system gives it in
// Unicode, elsewhere in the OEM code page, as it has always been written.
#include "deferred_move.h"

#include "../messages.h"
#include "../runtime/runtime.h"

namespace {

// Writes text, converted to the OEM code page, into oemText (of the same
// size). USER32 is loaded only here, so that a run without a failure never
// loads it. Returns false if the conversion is unavailable.
bool ConvertToOem(const char *text, char *oemText) {
    HMODULE user32 = LoadLibraryA("user32.dll");
    if (user32 == nullptr) {
        return false;
    }
    const CharToOemProc charToOem = ModuleFunction<CharToOemProc>(user32, "CharToOemA");
    const bool converted = charToOem != nullptr && charToOem(text, oemText);
    FreeLibrary(user32);
    return converted;
}

// The program's own reasons, by OwnError in its order.
const char *const ownReports[] = {
    MSG_NOT_A_FILE,     MSG_ON_NETWORK_DRIVE,  MSG_SAME_FILE,
    MSG_SHORT_NAME_ONLY, MSG_THROUGH_SYSNATIVE, MSG_NOT_ON_FIXED_DISK,
    MSG_ON_SUBST_DRIVE, MSG_LINK_NOT_FILE,     MSG_READ_ONLY_FILE,
    MSG_STREAM_NAME,    MSG_NO_FINAL_PATH,     MSG_PENDING_LISTS_BUSY,
    MSG_PENDING_LIST_DAMAGED, MSG_REQUEST_NOT_KEPT, MSG_OPEN_TO_USERS,
    MSG_FOLDER_OPEN_TO_USERS, MSG_DESTINATION_PATH_OPEN,
    MSG_COMPRESSED_BY_WINDOWS, MSG_REPARSE_POINT_FILE, MSG_ON_ISCSI_DISK, MSG_ON_DETACHED_VIRTUAL_DISK,
    MSG_LOCK_NAME_TAKEN, MSG_REQUEST_MAY_BE_KEPT, MSG_IN_PENDING_MOVE,
    MSG_IN_PENDING_DELETE, MSG_FOLDER_IN_PENDING_MOVE, MSG_FOLDER_REPLACED_BY_PENDING_MOVE,
    MSG_FOLDER_IN_PENDING_DELETE,
};
static_assert(sizeof ownReports / sizeof *ownReports == FolderInPendingDelete - NotAFile + 1,
              "a report for each of the program's own reasons");

// The report for one of the program's own reasons, or nullptr for a code of
// the system's.
const char *OwnReport(DWORD errorCode) {
    if (errorCode == ERROR_SUCCESS) {
        return MSG_NO_REASON;
    }
    const DWORD own = errorCode - NotAFile;
    return own < sizeof ownReports / sizeof *ownReports ? ownReports[own] : nullptr;
}

}  // namespace

void ReportMissingRights(DWORD errorCode) {
    if (errorCode == ERROR_ACCESS_DENIED || errorCode == ERROR_PRIVILEGE_NOT_HELD) {
        WriteText(MSG_RUN_AS_ADMINISTRATOR);
    }
}

void ReportFailure(const WCHAR *argument, const WCHAR *detail, const WCHAR *otherDetail) {
    const DWORD errorCode = GetLastError();
    // The system's text and USER32 are loaded from the real System32.
    TurnRedirectionOn();
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    const char *ownReport = OwnReport(errorCode);
    if (ownReport != nullptr) {
        WriteFormatted(MSG_ERROR_WITH, argument);
        WriteFormatted(ownReport, detail != nullptr ? detail : L"",
                       otherDetail != nullptr ? otherDetail : L"");
        if (errorCode >= InPendingMove) {
            WriteText(MSG_PENDING_TAIL);
        }
        return;
    }
    // The system's text: in Unicode for a console that shows it, otherwise
    // in the ANSI code page, to be converted to the OEM one.
    const bool unicode = ConsoleShowsUnicode();
    const auto formatMessageW = Kernel32Function<decltype(&FormatMessageW)>("FormatMessageW");
    void *text = nullptr;
    const DWORD language = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);
    const DWORD length =
        !unicode ? FormatMessageA(flags, nullptr, errorCode, language, reinterpret_cast<LPSTR>(&text), 0, nullptr)
        : formatMessageW != nullptr
            ? formatMessageW(flags, nullptr, errorCode, language, reinterpret_cast<LPWSTR>(&text), 0, nullptr)
            : 0;
    if (length == 0 || text == nullptr) {
        WriteFormatted(MSG_ERROR_CODE, argument, static_cast<unsigned long>(errorCode));
        return;
    }
    WriteFormatted(MSG_ERROR_WITH, argument);
    if (unicode) {
        WriteSystemText(static_cast<const WCHAR *>(text));
        LocalFree(text);
        return;
    }

    // The OEM copy has the same length as the system's text. If it cannot be
    // made, the system's text is printed as it is: a report in the wrong code
    // page is better than none.
    const char *systemText = static_cast<const char *>(text);
    const size_t size = static_cast<size_t>(lstrlenA(systemText)) + 1;
    char *oemText = static_cast<char *>(LocalAlloc(LMEM_FIXED, size));
    WriteSystemText(oemText != nullptr && ConvertToOem(systemText, oemText) ? oemText : systemText);
    if (oemText != nullptr) {
        LocalFree(oemText);
    }
    LocalFree(text);
}
