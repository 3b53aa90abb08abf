// The multibyte-aware path helpers and the file paths built with them, as every
// deliverable links them, compiled into the test itself: under code page 932 the
// trail byte 0x5C of a double-byte character is no backslash; under 1252 the same
// bytes are two characters.
#include "file_paths.cpp"
#include "mbstring.cpp"
#include <gtest/gtest.h>
#include <algorithm>
#include <string>

HINSTANCE moduleInstance = GetModuleHandleA(nullptr);

namespace {

// 表 is 0x95 0x5C and ソ is 0x83 0x5C in code page 932.
#define HYO "\x95\x5c"
#define SO "\x83\x5c"

bool DoubleByteRun() { return GetACP() == 932; }

struct SearchCase {
    const char* text;
    char separator;
    int found932;   // offset of the separator found under code page 932, -1 none
    int found1252;  // the same under code page 1252
};

const SearchCase kSearchCases[] = {
    {"a.b.c", '.', 3, 3},
    {"abc", '.', -1, -1},
    {"", '\\', -1, -1},
    {"C:\\dir\\" HYO, '\\', 6, 8},
    {HYO, '\\', -1, 1},
    {"C:\\" SO "\\" HYO ".x", '\\', 5, 7},
    {HYO "." SO, '.', 2, 2},
    {"C:\\" SO "\\", '\\', 5, 5},
};

TEST(MultibyteText, FindLastCharSkipsTrailBytes)
{
    for (const SearchCase& row : kSearchCases) {
        SCOPED_TRACE(row.text);
        char text[64];
        lstrcpynA(text, row.text, sizeof text);
        const char* found = FindLastChar(text, row.separator);
        int expected = DoubleByteRun() ? row.found932 : row.found1252;
        EXPECT_EQ(expected, found ? static_cast<int>(found - text) : -1);
    }
}

struct PathCase {
    const char* path;
    const char* fileName932;
    const char* fileName1252;
    const char* withInf;  // ReplaceExtension(path, "INF"), the same under both code pages
};

const PathCase kPathCases[] = {
    {"C:\\dir\\PINDREL.DLL", "PINDREL.DLL", "PINDREL.DLL", "C:\\dir\\PINDREL.INF"},
    {"C:\\dir.x\\PINDREL", "PINDREL", "PINDREL", "C:\\dir.INF"},
    {"C:\\dir\\PINDREL", "PINDREL", "PINDREL", "C:\\dir\\PINDREL.INF"},
    {"C:\\dir\\" HYO, HYO, "", "C:\\dir\\" HYO ".INF"},
    {"C:\\" HYO "." SO "\\PINDREL", "PINDREL", "PINDREL", "C:\\" HYO ".INF"},
    {"C:\\" SO "\\" HYO, HYO, "", "C:\\" SO "\\" HYO ".INF"},
    {"NAME.", "NAME.", "NAME.", "NAME.INF"},
};

TEST(MultibyteText, FileNamePartAndReplaceExtension)
{
    for (const PathCase& row : kPathCases) {
        SCOPED_TRACE(row.path);
        char path[MAX_PATH];
        lstrcpynA(path, row.path, sizeof path);
        EXPECT_STREQ(DoubleByteRun() ? row.fileName932 : row.fileName1252, FileNamePart(path));
        ReplaceExtension(path, sizeof path, "INF");
        EXPECT_STREQ(row.withInf, path);
    }
}

TEST(MultibyteText, AddTrailingBackslashSeesOnlyRealSeparators)
{
    struct Case {
        const char* text;
        const char* result932;
        const char* result1252;
    };
    const Case cases[] = {
        {"C:\\dir", "C:\\dir\\", "C:\\dir\\"},
        {"C:\\dir\\", "C:\\dir\\", "C:\\dir\\"},
        {"", "", ""},
        {"C:\\" HYO, "C:\\" HYO "\\", "C:\\" HYO},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.text);
        char text[64];
        lstrcpynA(text, row.text, sizeof text);
        AddTrailingBackslash(text, sizeof text);
        EXPECT_STREQ(DoubleByteRun() ? row.result932 : row.result1252, text);
    }
}

// Under UTF-8 a character takes up to four bytes, none of them below 0x80, and no
// cut splits one. 表 is E8 A1 A8 and 𝄞 (outside the Basic Multilingual Plane) is
// F0 9D 84 9E.
TEST(MultibyteText, Utf8IsCutOnWholeCharactersAndBrokenSequencesHideNoSeparator)
{
    if (GetACP() != CP_UTF8)
        GTEST_SKIP() << "needs the UTF-8 code page 65001";
    const char text[] = "a\xE8\xA1\xA8\xF0\x9D\x84\x9E.b";
    struct Row {
        int size;
        const char* expected;
    } rows[] = {{2, "a"}, {3, "a"}, {4, "a"}, {5, "a\xE8\xA1\xA8"}, {7, "a\xE8\xA1\xA8"}, {8, "a\xE8\xA1\xA8"},
                {9, "a\xE8\xA1\xA8\xF0\x9D\x84\x9E"}, {11, text}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.size);
        char buffer[16];
        memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(row.size > 10, CopyBounded(buffer, row.size, text));
        EXPECT_STREQ(row.expected, buffer);
        EXPECT_EQ('#', buffer[row.size]);
        lstrcpyA(buffer, "a");
        AppendBounded(buffer, row.size, text + 1);
        EXPECT_STREQ(row.expected, buffer);
    }
    EXPECT_EQ(text + 8, FindLastChar(text, '.'));
    // A lead byte without its trail bytes is one byte: the '\\' after it still counts.
    char broken[16] = "\xE8\xA1\\x.\xF0";
    ReplaceExtension(broken, sizeof broken, "INF");
    EXPECT_STREQ("x.INF", FileNamePart(broken));
}

// The results are cut to the buffer, or for a file path refused with an empty one
// (a cut path names another file): nothing is written beyond size bytes.
TEST(MultibyteText, ResultsStayInTheBuffer)
{
    struct Case {
        const char* label;
        const char* start;
        int size;
        const char* expected;
        void (*change)(char*, int);
    };
    const Case cases[] = {
        {"extension replaced", "abc.DLL", 6, "abc.I", [](char* t, int n) { ReplaceExtension(t, n, "INF"); }},
        {"extension appended", "abcdef", 8, "abcdef.", [](char* t, int n) { ReplaceExtension(t, n, "INF"); }},
        {"extension appended in part", "abcde", 8, "abcde.I", [](char* t, int n) { ReplaceExtension(t, n, "INF"); }},
        {"backslash to a full buffer", "abcdefg", 8, "abcdefg", [](char* t, int n) { AddTrailingBackslash(t, n); }},
        {"appended text", "ab", 5, "abxy", [](char* t, int n) { AppendBounded(t, n, "xyz"); }},
        {"path that fits", "", 13, "C:\\dir\\A.HLP",
         [](char* t, int n) { EXPECT_TRUE(MakeFilePath(t, n, "C:\\dir", nullptr, "A.HLP")); }},
        {"path after a separator", "", 13, "C:\\dir\\A.HLP",
         [](char* t, int n) { EXPECT_TRUE(MakeFilePath(t, n, "C:\\dir\\", nullptr, "A.HLP")); }},
        {"path a byte too long", "", 12, "",
         [](char* t, int n) { EXPECT_FALSE(MakeFilePath(t, n, "C:\\dir", nullptr, "A.HLP")); }},
        {"path after a separator a byte too long", "", 12, "",
         [](char* t, int n) { EXPECT_FALSE(MakeFilePath(t, n, "C:\\dir\\", nullptr, "A.HLP")); }},
        {"path in no directory", "", 32, "",
         [](char* t, int n) { EXPECT_FALSE(MakeFilePath(t, n, "", nullptr, "A.HLP")); }},
        {"path without a name", "", 32, "",
         [](char* t, int n) { EXPECT_FALSE(MakeFilePath(t, n, "C:\\dir", nullptr, "")); }},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.label);
        char buffer[32];
        memset(buffer, '#', sizeof buffer);
        lstrcpyA(buffer, row.start);
        row.change(buffer, row.size);
        EXPECT_STREQ(row.expected, buffer);
        int untouched = std::max(row.size, lstrlenA(row.start) + 1);
        for (int i = untouched; i < static_cast<int>(sizeof buffer); ++i)
            EXPECT_EQ('#', buffer[i]) << "byte " << i;
    }
}

// A file beside a module, and named after it: this test program stands in for one.
TEST(FilePaths, BesideAModuleAndNamedAfterIt)
{
    char program[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, program, sizeof program), 0u);
    std::string own = program;
    std::string directory = own.substr(0, FileNamePart(program) - program);
    char path[MAX_PATH];
    EXPECT_TRUE(MakeFilePath(path, sizeof path, nullptr, nullptr, "KELVARA.INI"));
    EXPECT_EQ(directory + "KELVARA.INI", path);
    EXPECT_TRUE(MakeModuleNamedPath(path, sizeof path, moduleInstance, "INF"));
    EXPECT_EQ(own.substr(0, own.size() - 3) + "INF", path);
    int oneShort = static_cast<int>(directory.size()) + lstrlenA("KELVARA.INI");
    EXPECT_FALSE(MakeFilePath(path, oneShort, nullptr, moduleInstance, "KELVARA.INI"));
    EXPECT_STREQ("", path);
    EXPECT_FALSE(MakeModuleNamedPath(path, static_cast<int>(own.size()), nullptr, "INF"));
    EXPECT_STREQ("", path);
}

}  // namespace
