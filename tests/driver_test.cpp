// Whole runs through the driver, one per outcome, against the fake.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cli/driver.h"
#include "fake_win32.h"
#include "version.h"

namespace {

const std::string banner =
    "Quarvel " QUARVEL_VERSION_TEXT " - moves or renames a file in use at the next restart\n\n";
const std::string usage = "Usage: Quarvel.exe Source Destination\n\n";

void Win32s() {
    fake.version.dwPlatformId = VER_PLATFORM_WIN32s;
    fake.version.dwMajorVersion = 3;
    fake.version.dwMinorVersion = 10;
    fake.version.szCSDVersion[0] = '\0';
}

struct RunCase {
    const char *name;
    std::vector<std::string> arguments;  // without the program's name
    void (*setUp)();
    ExitStatus status;
    std::string output;  // after the banner
    bool registers;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const RunCase &c, std::ostream *os) { *os << c.name; }

void Nothing() {}

const RunCase runCases[] = {
    {"NoArguments", {}, Nothing, UsageError, usage, false},
    {"ThreeArguments", {"src.txt", "dst.txt", "x"}, Nothing, UsageError, usage, false},
    {"WrongCountOnUnsupportedPlatform", {"src.txt"}, Win32s, UsageError, usage, false},
    {"Win32sNotSupported", {"src.txt", "dst.txt"}, Win32s, Success,
     "Windows 3.10  not supported.", false},
    {"Moved", {"src.txt", "dst.txt"}, Nothing, Success,
     "Current OS: Windows NT 6.1 build 7601 Service Pack 1\nMove or rename after reboot\n", true},
    {"MovedWithEmptyServicePack", {"src.txt", "dst.txt"},
     [] { fake.version.szCSDVersion[0] = '\0'; }, Success,
     "Current OS: Windows NT 6.1 build 7601 \nMove or rename after reboot\n", true},
    {"HyphenAndSlashNamesAreFiles", {"-s", "/d"},
     [] { fake.files["-s"] = "C:\\work\\-s"; fake.files["/d"] = "C:\\d"; }, Success,
     "Current OS: Windows NT 6.1 build 7601 Service Pack 1\nMove or rename after reboot\n", true},
    {"SourceNotFound", {"gone.txt", "dst.txt"}, Nothing, SourceNotFound,
     "Error with: gone.txt. The system cannot find the file specified.\r\n", false},
    {"DestinationNotFound", {"src.txt", "gone.txt"}, Nothing, DestinationNotFound,
     "Error with: gone.txt. The system cannot find the file specified.\r\n", false},
    {"RegistrationRefused", {"src.txt", "dst.txt"}, [] { fake.moveFileResult = FALSE; },
     RegistrationFailed,
     "Error with: src.txt. Access is denied.\r\nOnly an administrator can register a move for the restart: run "
     "Quarvel from a prompt opened with Run as administrator.\n",
     true},
};

class DriverTest : public testing::TestWithParam<RunCase> {};

TEST_P(DriverTest, RunsOnce) {
    const RunCase &c = GetParam();
    ResetFake();
    fake.files["src.txt"] = "C:\\work\\src.txt";
    fake.files["dst.txt"] = "C:\\work\\dst.txt";
    c.setUp();

    std::vector<std::wstring> storage = {L"Quarvel.exe"};
    for (const std::string &argument : c.arguments) {
        storage.push_back(Widen(argument));
    }
    std::vector<WCHAR *> argv;
    for (std::wstring &argument : storage) {
        argv.push_back(&argument[0]);
    }
    argv.push_back(nullptr);

    const ExitStatus status = RunQuarvel(static_cast<int>(storage.size()), argv.data());
    const std::string output = ConsoleOutput();

    EXPECT_EQ(status, c.status);
    EXPECT_EQ(output, banner + c.output);
    // A missing disk is made an error code, not a dialog, before anything
    // else; then the version is queried, on every run.
    const std::vector<std::string> first = CallsTo({"SetErrorMode", "GetVersionExA", "SearchPathW"});
    ASSERT_GE(first.size(), 2u);
    EXPECT_EQ(fake.calls[0], "SetErrorMode(32769)");
    EXPECT_EQ(first[1], "GetVersionExA(148)");
    EXPECT_EQ(CallsTo({"MoveFileExW", "WritePrivateProfileStringA"}).size(), c.registers ? 1u : 0u);
    // USER32 is loaded only to convert a failure report.
    if (c.status == Success) {
        EXPECT_TRUE(CallsTo({"LoadLibraryA"}).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Table, DriverTest, testing::ValuesIn(runCases),
                         [](const testing::TestParamInfo<RunCase> &info) {
                             return std::string(info.param.name);
                         });

}  // namespace
