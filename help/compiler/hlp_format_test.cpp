// The help file's building blocks checked against the published description of
// the WinHelp file format (HELPFILE.TXT of the help decompiler): the values and
// offsets below come from that description, not from this compiler's output.
#include "help_source.h"
#include "hlp_format.h"
#include "topic_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using hlp::Bytes;

namespace {

unsigned Word(const Bytes& b, size_t at) { return b.at(at) | b.at(at + 1) << 8; }
uint32_t Dword(const Bytes& b, size_t at) { return Word(b, at) | static_cast<uint32_t>(Word(b, at + 2)) << 16; }
std::string StringZ(const Bytes& b, size_t at) { return std::string(reinterpret_cast<const char*>(&b.at(at))); }

TEST(ContextHash, MatchesThePublishedTable)
{
    // hash = hash * 43 + table[c]; worked out by hand from the published table.
    struct Row { const char* name; int32_t hash; } rows[] = {
        {"A", 17}, {"a", 17}, {"Z", 42}, {"z", 42}, {"1", 1}, {"9", 9}, {"0", 10}, {".", 12}, {"_", 13},
        {"AB", 17 * 43 + 18}, {"a.b", (17 * 43 + 12) * 43 + 18},
        // Long names wrap around in 32 bits and may come out negative.
        {"ZZZZZZZZ", 1594265184}, {"settings_page", -1131313731}, {"IDH_CONTENTS", 1748044782},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.hash, hlp::ContextHash(row.name));
    }
}

TEST(ContextHash, IgnoresLetterCase)
{
    EXPECT_EQ(hlp::ContextHash("IDH_Touch_Now"), hlp::ContextHash("idh_touch_now"));
}

TEST(ContextName, AcceptsOnlyTheCharactersEveryCompilerHashesAlike)
{
    struct Row { const char* name; bool valid; } rows[] = {
        {"touch_page", true}, {"A.1_b", true}, {"", false}, {"two words", false}, {"a-b", false}, {"caf\xe9", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.valid, hlp::IsValidContextName(row.name));
    }
}

TEST(CompressedNumbers, UseTheShortFormWhenTheLowBitIsClear)
{
    struct Row { const char* what; Bytes bytes; Bytes expected; };
    Bytes b;
    std::vector<Row> rows;
    b.clear(); hlp::PutCompressedUShort(b, 5); rows.push_back({"ushort 5", b, {0x0A}});
    // 200: odd, 200 * 2 + 1 = 0x0191 in two bytes.
    b.clear(); hlp::PutCompressedUShort(b, 200); rows.push_back({"ushort 200", b, {0x91, 0x01}});
    // Signed short: (value + 64) * 2 in a byte, (value + 16384) * 2 + 1 in two.
    b.clear(); hlp::PutCompressedShort(b, -12); rows.push_back({"short -12", b, {0x68}});
    b.clear(); hlp::PutCompressedShort(b, 100); rows.push_back({"short 100", b, {0xC9, 0x80}});
    // Signed long: (value + 16384) * 2 in a word.
    b.clear(); hlp::PutCompressedLong(b, 30); rows.push_back({"long 30", b, {0x3C, 0x80}});
    b.clear(); hlp::PutCompressedLong(b, -16384); rows.push_back({"long -16384", b, {0x00, 0x00}});
    // Unsigned long: value * 2 in a word, value * 2 + 1 in a dword.
    b.clear(); hlp::PutCompressedULong(b, 7); rows.push_back({"ulong 7", b, {0x0E, 0x00}});
    b.clear(); hlp::PutCompressedULong(b, 40000); rows.push_back({"ulong 40000", b, {0x81, 0x38, 0x01, 0x00}});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.expected, row.bytes);
    }
}

TEST(TopicPositions, FollowThePublishedArithmetic)
{
    // TOPICPOS: (pos - 12) / 16384 is the block, (pos - 12) % 16384 the offset.
    EXPECT_EQ(12u, hlp::TopicPos(0, 0));
    EXPECT_EQ(2u * 16384 + 100 + 12, hlp::TopicPos(2, 100));
    // TOPICOFFSET: block in the 17 high bits, character count in the 15 low ones.
    EXPECT_EQ(3u * 32768 + 5, hlp::TopicOffset(3, 5));
}

// The published LZ77 decoder: a flag byte for 8 items, a set bit a 12-bit
// distance and a 4-bit length (3 + length bytes), a clear bit one literal.
Bytes DecodeLz77(const Bytes& in)
{
    Bytes out;
    size_t i = 0;
    while (i < in.size()) {
        unsigned flags = in[i++];
        for (int bit = 0; bit < 8 && i < in.size(); ++bit, flags >>= 1) {
            if (flags & 1) {
                unsigned code = in[i] | in[i + 1] << 8;
                i += 2;
                size_t from = out.size() - (code & 0xFFF) - 1;
                for (unsigned n = 0; n < 3 + (code >> 12); ++n) out.push_back(out[from + n]);
            } else {
                out.push_back(in[i++]);
            }
        }
    }
    return out;
}

TEST(Lz77, LiteralEncodingExpandsToTheSameBytes)
{
    for (size_t size : {0u, 1u, 7u, 8u, 9u, 100u, 3630u}) {
        SCOPED_TRACE(size);
        Bytes data(size);
        for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
        EXPECT_EQ(data, DecodeLz77(hlp::EncodeLiteralLz77(data)));
    }
    // A full 4 KiB topic block leaves 4084 bytes after its header.
    EXPECT_EQ(3630u, hlp::LiteralLz77Capacity(4084));
    EXPECT_EQ(4084u, hlp::EncodeLiteralLz77(Bytes(3630)).size());
}

std::vector<hlp::BTreeEntry> NamedEntries(int count)
{
    std::vector<hlp::BTreeEntry> entries;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "|file%05d", i);
        hlp::BTreeEntry e;
        hlp::PutStringZ(e.key, name);
        hlp::PutDword(e.data, 1000 + i);
        entries.push_back(e);
    }
    return entries;
}

// BTREEHEADER: Magic, Flags, PageSize, Structure[16], MustBeZero, PageSplits,
// RootPage, MustBeNegOne, TotalPages, NLevels, TotalBtreeEntries; pages at 38.
TEST(BTree, HeaderHasThePublishedLayout)
{
    Bytes tree;
    ASSERT_TRUE(hlp::BuildBTree(hlp::kDirectoryTree, NamedEntries(3), tree));
    EXPECT_EQ(0x293Bu, Word(tree, 0));
    EXPECT_EQ(0x0402u, Word(tree, 2));     // 0x0002 always, 0x0400 for a directory
    EXPECT_EQ(0x0400u, Word(tree, 4));
    EXPECT_EQ("z4", StringZ(tree, 6));
    EXPECT_EQ(0u, Word(tree, 22));
    EXPECT_EQ(0u, Word(tree, 26));         // the only page is the root
    EXPECT_EQ(0xFFFFu, Word(tree, 28));
    EXPECT_EQ(1u, Word(tree, 30));
    EXPECT_EQ(1u, Word(tree, 32));
    EXPECT_EQ(3u, Dword(tree, 34));
    ASSERT_EQ(38u + 0x400, tree.size());

    // BTREENODEHEADER of a leaf: Unused, NEntries, PreviousPage, NextPage.
    size_t used = 3 * (strlen("|file00000") + 1 + 4);
    EXPECT_EQ(0x400 - 8 - used, Word(tree, 38));
    EXPECT_EQ(3u, Word(tree, 40));
    EXPECT_EQ(0xFFFFu, Word(tree, 42));
    EXPECT_EQ(0xFFFFu, Word(tree, 44));
    EXPECT_EQ("|file00000", StringZ(tree, 46));
    EXPECT_EQ(1000u, Dword(tree, 46 + 11));
    EXPECT_EQ("|file00001", StringZ(tree, 46 + 15));
}

// The published lookup: NLevels - 1 index pages (PreviousPage, then key and
// page number pairs), then a scan of the leaf page.
bool Lookup(const Bytes& tree, const std::string& name, uint32_t& value)
{
    unsigned pageSize = Word(tree, 4), page = Word(tree, 26), levels = Word(tree, 32);
    for (; levels > 1; --levels) {
        size_t p = 38 + page * pageSize;
        unsigned entries = Word(tree, p + 2);
        page = Word(tree, p + 4);
        size_t at = p + 6;
        for (unsigned i = 0; i < entries; ++i) {
            std::string key = StringZ(tree, at);
            if (key > name) break;
            page = Word(tree, at + key.size() + 1);
            at += key.size() + 3;
        }
    }
    size_t p = 38 + page * pageSize;
    size_t at = p + 8;
    for (unsigned i = 0, entries = Word(tree, p + 2); i < entries; ++i) {
        std::string key = StringZ(tree, at);
        if (key == name) {
            value = Dword(tree, at + key.size() + 1);
            return true;
        }
        at += key.size() + 5;
    }
    return false;
}

TEST(BTree, ManyEntriesSplitIntoLinkedLeavesUnderAnIndexPage)
{
    const int count = 200;   // 15 bytes each: three 1 KiB leaves
    Bytes tree;
    ASSERT_TRUE(hlp::BuildBTree(hlp::kDirectoryTree, NamedEntries(count), tree));
    unsigned pages = Word(tree, 30);
    ASSERT_EQ(2u, Word(tree, 32));
    ASSERT_EQ(38u + pages * 0x400, tree.size());
    EXPECT_EQ(static_cast<unsigned>(count), Dword(tree, 34));

    // Walking the leaves by NextPage from the root's PreviousPage meets every
    // entry once, in order.
    size_t root = 38 + Word(tree, 26) * 0x400;
    unsigned leaf = Word(tree, root + 4), previous = 0xFFFF;
    int seen = 0;
    while (leaf != 0xFFFF) {
        size_t p = 38 + leaf * 0x400;
        EXPECT_EQ(previous, Word(tree, p + 4));
        seen += Word(tree, p + 2);
        previous = leaf;
        leaf = Word(tree, p + 6);
    }
    EXPECT_EQ(count, seen);

    for (int i : {0, 1, 67, 68, 69, 136, 137, 199}) {
        SCOPED_TRACE(i);
        char name[32];
        std::snprintf(name, sizeof name, "|file%05d", i);
        uint32_t value = 0;
        ASSERT_TRUE(Lookup(tree, name, value));
        EXPECT_EQ(1000u + i, value);
    }
    uint32_t value = 0;
    EXPECT_FALSE(Lookup(tree, "|missing", value));
}

// SYSTEMHEADER: Magic 0x036C, Minor (33 for WinHelp 4), Major 1, GenDate,
// Flags (4: LZ77 topic blocks of 4 KiB); then records of type, size and data.
TEST(SystemFile, HeaderAndRecordsHaveThePublishedLayout)
{
    Bytes system = hlp::BuildSystemFile("Kelvara Help", "", 0x8012, 0, 0);
    EXPECT_EQ(0x036Cu, Word(system, 0));
    EXPECT_EQ(33u, Word(system, 2));
    EXPECT_EQ(1u, Word(system, 4));
    EXPECT_EQ(4u, Word(system, 10));

    bool sawTitle = false, sawContents = false;
    for (size_t at = 12; at + 4 <= system.size(); at += 4 + Word(system, at + 2)) {
        unsigned type = Word(system, at), size = Word(system, at + 2);
        ASSERT_LE(at + 4 + size, system.size());
        if (type == 1) {
            sawTitle = true;
            EXPECT_EQ("Kelvara Help", StringZ(system, at + 4));
            EXPECT_EQ(13u, size);
        }
        if (type == 3) {
            sawContents = true;
            ASSERT_EQ(4u, size);
            EXPECT_EQ(0x8012u, Dword(system, at + 4));
        }
        EXPECT_NE(2u, type);    // no copyright given, no record
    }
    EXPECT_TRUE(sawTitle);
    EXPECT_TRUE(sawContents);
}

// A Japanese file: the LCID record (two words of flags, four unused bytes, the
// LCID) and SHIFTJIS_CHARSET in the CHARSET record.
TEST(SystemFile, JapaneseFileRecordsItsLanguage)
{
    Bytes system = hlp::BuildSystemFile("T", "", 0, 0x0411, 128);
    unsigned lcid = 0, charset = 0;
    for (size_t at = 12; at + 4 <= system.size(); at += 4 + Word(system, at + 2)) {
        if (Word(system, at) == 9 && Word(system, at + 2) == 10) lcid = Word(system, at + 4 + 8);
        if (Word(system, at) == 11) charset = system.at(at + 4);
    }
    EXPECT_EQ(0x0411u, lcid);
    EXPECT_EQ(128u, charset);
}

TEST(FontFile, DescriptorsFollowTheFaceNames)
{
    Bytes font = hlp::BuildFontFile({"Arial", "Courier New"}, {{false, 20, 0}, {true, 24, 1}});
    EXPECT_EQ(2u, Word(font, 0));     // NumFacenames
    EXPECT_EQ(2u, Word(font, 2));     // NumDescriptors
    unsigned faces = Word(font, 4), descriptors = Word(font, 6);
    EXPECT_EQ(8u, faces);             // right behind this header
    unsigned faceSize = (descriptors - faces) / 2;
    EXPECT_EQ("Arial", StringZ(font, faces));
    EXPECT_EQ("Courier New", StringZ(font, faces + faceSize));
    // Attributes (bit 0 bold), HalfPoints, FontFamily, FacenameIndex, FGRGB, BGRGB.
    ASSERT_EQ(descriptors + 2 * 11u, font.size());
    EXPECT_EQ(0u, font[descriptors] & 1);
    EXPECT_EQ(20u, font[descriptors + 1]);
    EXPECT_EQ(1u, font[descriptors + 11] & 1);
    EXPECT_EQ(24u, font[descriptors + 12]);
    EXPECT_EQ(1u, Word(font, descriptors + 11 + 3));
}

TEST(ContextMap, IsACountAndPairsOfNumberAndTopicOffset)
{
    Bytes map = hlp::BuildContextMap({{25000, 0x8010}, {10000, 0x20}});
    ASSERT_EQ(2u + 2 * 8, map.size());
    EXPECT_EQ(2u, Word(map, 0));
    EXPECT_EQ(10000u, Dword(map, 2));
    EXPECT_EQ(0x20u, Dword(map, 6));
    EXPECT_EQ(25000u, Dword(map, 10));
    EXPECT_EQ(0x8010u, Dword(map, 14));
}

// The file header (Magic, DirectoryStart, FirstFreeBlock, EntireFileSize) and
// each internal file's FILEHEADER (ReservedSpace, UsedSpace, FileFlags).
TEST(HelpFile, DirectoryLocatesEveryInternalFile)
{
    hlp::HelpFile file;
    file.AddFile("|TOPIC", Bytes(5000, 0x11));
    file.AddFile("|SYSTEM", Bytes(20, 0x22));
    file.AddFile("|CONTEXT", Bytes(3, 0x33));
    Bytes out;
    ASSERT_TRUE(file.Build(out));
    EXPECT_EQ(0x00035F3Fu, Dword(out, 0));
    EXPECT_EQ(0xFFFFFFFFu, Dword(out, 8));
    EXPECT_EQ(out.size(), Dword(out, 12));

    size_t directory = Dword(out, 4);
    ASSERT_LT(directory + 9, out.size());
    EXPECT_GE(Dword(out, directory), Dword(out, directory + 4) + 9);
    Bytes tree(out.begin() + directory + 9, out.end());
    EXPECT_EQ(0x293Bu, Word(tree, 0));
    EXPECT_EQ(0x0402u, Word(tree, 2));

    struct Row { const char* name; size_t size; uint8_t fill; } rows[] = {
        {"|TOPIC", 5000, 0x11}, {"|SYSTEM", 20, 0x22}, {"|CONTEXT", 3, 0x33}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        uint32_t at = 0;
        ASSERT_TRUE(Lookup(tree, row.name, at));
        EXPECT_EQ(row.size, Dword(out, at + 4));
        EXPECT_GE(Dword(out, at), row.size + 9);
        EXPECT_EQ(4u, out[at + 8]);
        EXPECT_EQ(row.fill, out[at + 9]);
        EXPECT_EQ(row.fill, out[at + 9 + row.size - 1]);
    }
}

TEST(HelpFile, RefusesTheSameNameTwice)
{
    hlp::HelpFile file;
    file.AddFile("|TOPIC", Bytes(1));
    file.AddFile("|TOPIC", Bytes(2));
    Bytes out;
    EXPECT_FALSE(file.Build(out));
}

const char kSource[] =
    ".title T\n"
    ".topic main 5 contents\n.heading Main\nSee {popup note the note}.\n\n"
    ".topic note 6\n.heading Note\n*Bold* and plain.\n";

TEST(HelpSource, ReadsTopicsNumbersAndLinks)
{
    hlp::HelpSource source;
    std::string error;
    ASSERT_TRUE(hlp::ParseHelpSource(kSource, source, error)) << error;
    ASSERT_EQ(2u, source.topics.size());
    EXPECT_TRUE(source.topics[0].contents);
    EXPECT_EQ(std::vector<uint32_t>{5}, source.topics[0].numbers);
    ASSERT_EQ(2u, source.topics[0].paragraphs.size());
    const hlp::Paragraph& text = source.topics[0].paragraphs[1];
    ASSERT_EQ(3u, text.runs.size());
    EXPECT_EQ(hlp::LinkKind::Popup, text.runs[1].link);
    EXPECT_EQ("note", text.runs[1].target);
    EXPECT_EQ("the note", text.runs[1].text);
    EXPECT_TRUE(source.topics[1].paragraphs[1].runs[0].bold);
}

TEST(HelpSource, RejectsMistakesWithTheirLine)
{
    struct Row { const char* source; const char* error; } rows[] = {
        {".title T\n.topic a contents\n.heading A\nSee {popup b B}.\n", "line 4: link to unknown topic b"},
        {".title T\n.topic a 1 contents\n.heading A\nx\n.topic b 1\n.heading B\ny\n", "context number 1 is used twice"},
        {".title T\n.topic a-b contents\n", "line 2: a topic needs a context string"},
        {".title T\ntext\n", "line 2: text before the first .topic"},
        {".title T\n.topic a\n.heading A\nx\n", "exactly one topic must be marked 'contents'"},
        {".title T\n.topic a contents\n.heading A\n", "topic a has no text"},
        {".title T\n.topic a contents\n.heading A\n*open\n", "line 4: '*' without its closing '*'"},
        {".title T\n.topic a contents\n.heading \xC3\x84\nx\n", "line 3: only ASCII text"},
        {".language ja\n.title T\n.topic a contents\n.heading caf\xC3\xA9\n", "line 4: text that is not UTF-8 or"},
        {".language ja\n.title \x83\x5C\n", "line 2: text that is not UTF-8 or"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.source);
        hlp::HelpSource source;
        std::string error;
        EXPECT_FALSE(hlp::ParseHelpSource(row.source, source, error));
        EXPECT_NE(std::string::npos, error.find(row.error)) << error;
    }
}

// Text is read as UTF-8 and only then written in code page 932, where the second
// byte of "ボ" is '{' and that of "表" is '\'.
TEST(HelpSource, JapaneseTextKeepsEveryCharacterWhole)
{
    const char source[] = ".language ja\n.title T\n.topic main contents\n.heading ソ\n{popup main ボタン}表示\n";
    hlp::HelpSource parsed;
    std::string error;
    ASSERT_TRUE(hlp::ParseHelpSource(source, parsed, error)) << error;
    EXPECT_EQ(0x0411u, parsed.language.lcid);
    EXPECT_EQ(128u, parsed.language.charset);
    EXPECT_EQ("\x83\x5C", parsed.topics[0].title);
    const hlp::Paragraph& text = parsed.topics[0].paragraphs.at(1);
    ASSERT_EQ(2u, text.runs.size());
    EXPECT_EQ("\x83\x7B\x83\x5E\x83\x93", text.runs[0].text);
    EXPECT_EQ("\x95\x5C\x8E\xA6", text.runs[1].text);
}

}  // namespace
