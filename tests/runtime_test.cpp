// The runtime written on KERNEL32: command-line splitting, formatting and the
// console's line ends.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "fake_win32.h"
#include "runtime/runtime.h"
#include "win32/names.h"

namespace {

using Vector = std::vector<std::string>;

// An argument vector as UTF-8.
Vector Narrowed(WCHAR **argv, int argc) {
    Vector vector;
    for (int i = 0; i < argc; ++i) {
        vector.push_back(Narrow(argv[i]));
    }
    return vector;
}

// Splits a command line (UTF-8) with storage of the given sizes; an empty
// vector when it does not fit.
Vector Split(const std::string &commandLine, size_t textSize = MaxArgumentText,
             int argvSize = MaxArguments) {
    static WCHAR text[MaxArgumentText];
    static WCHAR *argv[MaxArguments];
    const int argc = SplitCommandLine(Widen(commandLine).c_str(), text, textSize, argv, argvSize);
    EXPECT_TRUE(argc == 0 || argv[argc] == nullptr);
    return Narrowed(argv, argc);
}

struct SplitCase {
    const char *commandLine;
    Vector argv;
};

const SplitCase splitCases[] = {
    // Microsoft's documented examples.
    {R"(p "abc" d e)", {"p", "abc", "d", "e"}},
    {R"(p a\\b d"e f"g h)", {"p", R"(a\\b)", "de fg", "h"}},
    {R"(p a\\\"b c d)", {"p", R"(a\"b)", "c", "d"}},
    {R"(p a\\\\"b c" d e)", {"p", R"(a\\b c)", "d", "e"}},
    {R"(p a"b"" c d)", {"p", R"(ab" c d)"}},
    // Blanks.
    {"", {""}},
    {"p", {"p"}},
    {"  p  a  ", {"", "p", "a"}},
    {"p\ta\t\tb\t", {"p", "a", "b"}},
    // The program's name: quoted with spaces, backslashes literal.
    {R"("C:\Program Files\Quarvel.exe" a b)", {R"(C:\Program Files\Quarvel.exe)", "a", "b"}},
    {R"("C:\dir\"x y)", {R"(C:\dir\x)", "y"}},
    {R"(C:\dir\q.exe a)", {R"(C:\dir\q.exe)", "a"}},
    {R"("a b"c d)", {"a bc", "d"}},
    {R"(a"b c"d e)", {"ab cd", "e"}},
    {R"("a""b" c)", {"a\"b", "c"}},
    {R"("unterminated name)", {"unterminated name"}},
    // Quotes and backslashes in arguments.
    {R"(p "unterminated arg)", {"p", "unterminated arg"}},
    {R"(p "a b" "" c)", {"p", "a b", "", "c"}},
    {R"(p """)", {"p", "\""}},
    {R"(p "a""b c" d)", {"p", "a\"b c", "d"}},
    {R"(p ""a""b"")", {"p", "ab"}},
    {R"(p a""b)", {"p", "ab"}},
    {R"(p \a\b\ c\)", {"p", R"(\a\b\)", R"(c\)"}},
    {R"(p \\\\)", {"p", R"(\\\\)"}},
    {R"(p C:\dir\ "C:\dir\\" x)", {"p", R"(C:\dir\)", R"(C:\dir\)", "x"}},
};

class SplitCommandLineTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, FollowsTheCRuntimeRules) {
    EXPECT_EQ(Split(GetParam().commandLine), GetParam().argv);
}

INSTANTIATE_TEST_SUITE_P(Table, SplitCommandLineTest, testing::ValuesIn(splitCases));

TEST(SplitCommandLine, GivesNoVectorWhenTheStorageRunsOut) {
    EXPECT_EQ(Split("p ab cd", 8), Vector({"p", "ab", "cd"}));
    EXPECT_EQ(Split("p ab cd", 7), Vector());
    EXPECT_EQ(Split("p a b", MaxArgumentText, 4), Vector({"p", "a", "b"}));
    EXPECT_EQ(Split("p a b", MaxArgumentText, 3), Vector());
    EXPECT_EQ(Split("p", MaxArgumentText, 1), Vector());
}

TEST(SplitCommandLine, TheLongestCommandLinesFit) {
    std::string singles = "p";
    while (singles.size() + 2 <= MaxCommandLine) {
        singles += " a";
    }
    EXPECT_EQ(Split(singles).size(), 1 + (MaxCommandLine - 1) / 2);
    EXPECT_EQ(Split(std::string(MaxCommandLine, 'x')).size(), 1u);
}

struct ProcessCase {
    const char *name;
    DWORD platformId;
    UINT codePage;
    const char *commandLine;  // as the user typed it
    Vector argv;
};

// NT's own Unicode command line, never its best-fit ANSI copy; on 95/98 the
// ANSI one, read by characters.
const ProcessCase processCases[] = {
    {"NtFullwidthQuotes", VER_PLATFORM_WIN32_NT, 1252, "q \"new.dll＂ ＂zloty.dll\"",
     {"q", "new.dll＂ ＂zloty.dll"}},
    {"NtYenSignIsNoBackslash", VER_PLATFORM_WIN32_NT, 932, "q x¥a.dll b", {"q", "x¥a.dll", "b"}},
    {"Win98TrailByteBeforeQuote", VER_PLATFORM_WIN32_WINDOWS, 932, "q \"a 表\" b.dll",
     {"q", "a 表", "b.dll"}},
};

TEST(SplitProcessCommandLine, ReadsTheCommandLineWindowsHolds) {
    for (const ProcessCase &c : processCases) {
        ResetFake();
        fake.version.dwPlatformId = c.platformId;
        fake.codePage = c.codePage;
        fake.commandLine = c.commandLine;
        WCHAR **argv = nullptr;
        const int argc = SplitProcessCommandLine(ProcessCommandLine(), argv);
        EXPECT_EQ(Narrowed(argv, argc), c.argv) << c.name;
    }
}

struct FormatCase {
    std::string output;
    std::string formatted;
};

std::string Format(const char *format, ...) QUARVEL_PRINTF(1, 2);
std::string Format(const char *format, ...) {
    char text[64];
    TextBuffer buffer = {text, sizeof text, 0, nullptr, Output::Bytes, nullptr};
    va_list arguments;
    va_start(arguments, format);
    const bool understood = AppendFormattedV(buffer, format, arguments);
    va_end(arguments);
    return std::string(text, buffer.length) + (understood ? "" : "<stopped>");
}

TEST(Format, ConvertsStringsAndSigned32BitAndUnsignedNumbers) {
    const FormatCase cases[] = {
        {Format("[%s][%s]", "text", ""), "[text][]"},
        {Format("%ld %ld %ld", 0L, 7L, -381L), "0 7 -381"},
        {Format("%ld %ld", static_cast<long>(INT32_MAX), static_cast<long>(INT32_MIN)),
         "2147483647 -2147483648"},
        {Format("%lu %lu", 0UL, static_cast<unsigned long>(UINT32_MAX)), "0 4294967295"},
        {Format("no conversion"), "no conversion"},
        // Anything else stops the output before it can read an argument.
        {Format("a %d b", 1), "a <stopped>"},
        {Format("100%% %s", "x"), "100<stopped>"},
        {Format("%s %x", "a", 1u), "a <stopped>"},
    };
    for (const FormatCase &c : cases) {
        EXPECT_EQ(c.output, c.formatted);
    }
}

TEST(Format, FormatTextCutsAndTerminates) {
    char small[6];
    FormatText(small, sizeof small, "%s-%ld", "abc", 12345L);
    EXPECT_STREQ(small, "abc-1");
}

// Each "\n" goes out as CR LF, a CR already there stays, and text longer
// than the console's buffer comes out whole and in order.
TEST(Console, WritesEachLineEndAsCrLfAndEveryOtherByteUnchanged) {
    ResetFake();
    const std::string longLine(1500, 'x');
    WriteText("a\nb\r\n\n");
    WriteFormatted("%s|%s\n", longLine.c_str(), "\xE9\t\r");
    FlushConsole();
    EXPECT_EQ(fake.console, "a\r\nb\r\r\n\r\n" + longLine + "|\xE9\t\r\r\n");
}

}  // namespace
