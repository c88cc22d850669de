// Classification of version records, and the version query around it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_win32.h"
#include "platform_id/platform_id.h"

namespace {

OSVERSIONINFOA Record(DWORD platformId, DWORD major, DWORD minor, DWORD build, const char *csd) {
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    info.dwPlatformId = platformId;
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.dwBuildNumber = build;
    strcpy(info.szCSDVersion, csd);
    return info;
}

struct ClassifyCase {
    const char *name;
    DWORD platformId, major, minor, build;
    const char *csd;
    const char *description;
    OsFamily family;
    DeferMechanism mechanism;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ClassifyCase &c, std::ostream *os) { *os << c.name; }

const ClassifyCase classifyCases[] = {
    {"Nt4", 2, 4, 0, 381, "Service Pack 6", "Windows NT 4.0 build 381", OsFamily::WindowsNT,
     DeferMechanism::ReplaceAtReboot},
    {"NtBuildAbove65535IsWhole", 2, 10, 0, 100000, "", "Windows NT 10.0 build 100000",
     OsFamily::WindowsNT, DeferMechanism::ReplaceAtReboot},
    {"NtBuildIsSigned32Bit", 2, 5, 1, 0x80000000u, "", "Windows NT 5.1 build -2147483648",
     OsFamily::WindowsNT, DeferMechanism::ReplaceAtReboot},
    {"Win95HighBuildBitsDropped", 1, 4, 0, 0x040003B6, "", "Windows 95 4.0 build 950",
     OsFamily::Windows95, DeferMechanism::StartupRenameList},
    {"Win98HighBuildBitsDropped", 1, 4, 10, 0x040A00DE, " A ", "Windows 98 4.10 build 222",
     OsFamily::Windows98, DeferMechanism::StartupRenameList},
    {"MeIsDescribedAs98", 1, 4, 90, 0x045A012C, "", "Windows 98 4.90 build 300",
     OsFamily::Windows98, DeferMechanism::StartupRenameList},
    {"Win32sHasNoBuild", 0, 3, 10, 0, "", "Windows 3.10", OsFamily::Win32s, DeferMechanism::None},
    {"UnknownPlatform", 3, 5, 0, 1, "", "Unknown Windows platform 3", OsFamily::Other,
     DeferMechanism::None},
};

class ClassifyVersionTest : public testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyVersionTest, DescribesFamilyAndMechanism) {
    const ClassifyCase &c = GetParam();
    const OsIdentity identity =
        ClassifyVersion(Record(c.platformId, c.major, c.minor, c.build, c.csd));
    EXPECT_STREQ(identity.description, c.description);
    EXPECT_EQ(identity.family, c.family);
    EXPECT_EQ(identity.mechanism, c.mechanism);
}

INSTANTIATE_TEST_SUITE_P(Table, ClassifyVersionTest, testing::ValuesIn(classifyCases),
                         [](const testing::TestParamInfo<ClassifyCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(ClassifyVersion, CopiesServicePackOf127CharactersWhole) {
    OSVERSIONINFOA info = Record(2, 5, 0, 2195, "");
    memset(info.szCSDVersion, 'x', 127);
    info.szCSDVersion[127] = '\0';
    EXPECT_EQ(std::string(ClassifyVersion(info).servicePack), std::string(127, 'x'));
}

TEST(ClassifyVersion, TerminatesAnUnterminatedServicePack) {
    OSVERSIONINFOA info = Record(2, 5, 0, 2195, "");
    memset(info.szCSDVersion, 'y', sizeof info.szCSDVersion);
    const OsIdentity identity = ClassifyVersion(info);
    EXPECT_EQ(std::string(identity.servicePack), std::string(127, 'y'));
}

TEST(IdentifyOs, QueriesWithTheRecordSize) {
    ResetFake();
    const OsIdentity identity = IdentifyOs();
    EXPECT_EQ(fake.calls, std::vector<std::string>{"GetVersionExA(148)"});
    EXPECT_STREQ(identity.description, "Windows NT 6.1 build 7601");
}

TEST(IdentifyOs, FailedQueryIsAnUnsupportedPlatformWithAPlainText) {
    ResetFake();
    fake.versionResult = FALSE;
    const OsIdentity identity = IdentifyOs();
    EXPECT_EQ(identity.family, OsFamily::Other);
    EXPECT_EQ(identity.mechanism, DeferMechanism::None);
    EXPECT_STREQ(identity.description, "Windows version could not be read");
    EXPECT_STREQ(identity.servicePack, "");
}

}  // namespace
