// The building blocks of a WinHelp 4 file (see hlp_format.h).
#include "hlp_format.h"

#include <algorithm>
#include <cstring>

namespace hlp {

void PutByte(Bytes& out, unsigned value)
{
    out.push_back(static_cast<uint8_t>(value));
}

void PutWord(Bytes& out, unsigned value)
{
    PutByte(out, value & 0xFF);
    PutByte(out, (value >> 8) & 0xFF);
}

void PutDword(Bytes& out, uint32_t value)
{
    PutWord(out, value & 0xFFFF);
    PutWord(out, value >> 16);
}

void PutStringZ(Bytes& out, const std::string& text)
{
    out.insert(out.end(), text.begin(), text.end());
    PutByte(out, 0);
}

void Append(Bytes& out, const Bytes& more)
{
    out.insert(out.end(), more.begin(), more.end());
}

void SetDword(Bytes& out, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutCompressedUShort(Bytes& out, unsigned value)
{
    if (value < 0x80) {
        PutByte(out, value * 2);
    } else {
        PutWord(out, value * 2 + 1);
    }
}

void PutCompressedShort(Bytes& out, int value)
{
    if (value >= -64 && value < 64) {
        PutByte(out, (value + 64) * 2);
    } else {
        PutWord(out, (value + 16384) * 2 + 1);
    }
}

void PutCompressedULong(Bytes& out, uint32_t value)
{
    if (value < 0x8000) {
        PutWord(out, value * 2);
    } else {
        PutDword(out, value * 2 + 1);
    }
}

void PutCompressedLong(Bytes& out, int32_t value)
{
    if (value >= -0x4000 && value < 0x4000) {
        PutWord(out, static_cast<uint32_t>(value + 0x4000) * 2);
    } else {
        PutDword(out, static_cast<uint32_t>(value + 0x40000000) * 2 + 1);
    }
}

bool IsValidContextName(const std::string& name)
{
    if (name.empty() || name.size() > 255) return false;
    for (char c : name) {
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                  c == '.';
        if (!ok) return false;
    }
    return true;
}

namespace {

// The character codes of the hash: '1'..'9' are 1..9, '0' is 10, '.' 12, '_' 13,
// letters 17..42 in either case.
int HashCode(char c)
{
    if (c >= '1' && c <= '9') return c - '0';
    if (c == '0') return 10;
    if (c == '.') return 12;
    if (c == '_') return 13;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 17;
    if (c >= 'a' && c <= 'z') return c - 'a' + 17;
    return 0;
}

}  // namespace

int32_t ContextHash(const std::string& name)
{
    uint32_t hash = 0;
    for (char c : name) hash = hash * 43 + static_cast<uint32_t>(HashCode(c));
    return static_cast<int32_t>(hash);
}

uint32_t TopicPos(uint32_t block, uint32_t offsetInBlock)
{
    return block * 0x4000 + offsetInBlock + kTopicBlockHeaderSize;
}

uint32_t TopicOffset(uint32_t block, uint32_t characterCount)
{
    return block * 0x8000 + characterCount;
}

Bytes EncodeLiteralLz77(const Bytes& data)
{
    Bytes out;
    for (size_t i = 0; i < data.size(); i += 8) {
        PutByte(out, 0);
        size_t end = std::min(data.size(), i + 8);
        out.insert(out.end(), data.begin() + i, data.begin() + end);
    }
    return out;
}

size_t LiteralLz77Capacity(size_t compressedRoom)
{
    size_t groups = compressedRoom / 9;
    size_t rest = compressedRoom % 9;
    return groups * 8 + (rest > 1 ? rest - 1 : 0);
}

namespace {

constexpr size_t kBTreeHeaderSize = 38;
constexpr size_t kLeafHeaderSize = 8;
constexpr size_t kIndexHeaderSize = 6;

struct Page {
    Bytes body;            // entries, after the page header
    unsigned count = 0;
    Bytes firstKey;        // smallest key below this page
    uint16_t firstChild = 0;
};

Bytes PageBytes(const Page& page, bool leaf, uint16_t pageSize, uint16_t previous, uint16_t next)
{
    size_t header = leaf ? kLeafHeaderSize : kIndexHeaderSize;
    Bytes out;
    PutWord(out, static_cast<unsigned>(pageSize - header - page.body.size()));
    PutWord(out, page.count);
    PutWord(out, leaf ? previous : page.firstChild);
    if (leaf) PutWord(out, next);
    Append(out, page.body);
    out.resize(pageSize, 0);
    return out;
}

}  // namespace

bool BuildBTree(const BTreeLayout& layout, const std::vector<BTreeEntry>& entries, Bytes& out)
{
    out.clear();
    std::vector<Page> leaves(1);
    for (const BTreeEntry& entry : entries) {
        size_t size = entry.key.size() + entry.data.size();
        if (size > layout.pageSize - kLeafHeaderSize) return false;
        if (leaves.back().body.size() + size > layout.pageSize - kLeafHeaderSize) leaves.emplace_back();
        Page& page = leaves.back();
        if (page.count == 0) page.firstKey = entry.key;
        Append(page.body, entry.key);
        Append(page.body, entry.data);
        ++page.count;
    }

    // Leaves are pages 0 .. n-1; each index level follows the one below it, and
    // the last page written is the root.
    std::vector<Bytes> pages;
    for (size_t i = 0; i < leaves.size(); ++i) {
        uint16_t previous = i == 0 ? 0xFFFF : static_cast<uint16_t>(i - 1);
        uint16_t next = i + 1 == leaves.size() ? 0xFFFF : static_cast<uint16_t>(i + 1);
        pages.push_back(PageBytes(leaves[i], true, layout.pageSize, previous, next));
    }
    std::vector<Page> level = leaves;
    uint16_t levelStart = 0;
    unsigned levels = 1;
    while (level.size() > 1) {
        std::vector<Page> parents;
        for (size_t i = 0; i < level.size(); ++i) {
            uint16_t child = static_cast<uint16_t>(levelStart + i);
            size_t size = level[i].firstKey.size() + 2;
            if (size > layout.pageSize - kIndexHeaderSize) return false;
            if (parents.empty() || parents.back().body.size() + size > layout.pageSize - kIndexHeaderSize) {
                // A new index page: its first child is reached through PreviousPage.
                Page parent;
                parent.firstChild = child;
                parent.firstKey = level[i].firstKey;
                parents.push_back(parent);
                continue;
            }
            Append(parents.back().body, level[i].firstKey);
            PutWord(parents.back().body, child);
            ++parents.back().count;
        }
        levelStart = static_cast<uint16_t>(pages.size());
        for (const Page& parent : parents) pages.push_back(PageBytes(parent, false, layout.pageSize, 0, 0));
        level = parents;
        ++levels;
    }

    PutWord(out, 0x293B);
    PutWord(out, layout.flags);
    PutWord(out, layout.pageSize);
    char structure[16] = {};
    std::strncpy(structure, layout.structure, sizeof structure - 1);
    out.insert(out.end(), structure, structure + sizeof structure);
    PutWord(out, 0);                                        // MustBeZero
    PutWord(out, static_cast<unsigned>(pages.size() - 1));  // PageSplits
    PutWord(out, static_cast<unsigned>(pages.size() - 1));  // RootPage
    PutWord(out, 0xFFFF);                                   // MustBeNegOne
    PutWord(out, static_cast<unsigned>(pages.size()));      // TotalPages
    PutWord(out, levels);
    PutDword(out, static_cast<uint32_t>(entries.size()));
    for (const Bytes& page : pages) Append(out, page);
    return true;
}

namespace {

void PutSystemRecord(Bytes& out, unsigned type, const Bytes& data)
{
    PutWord(out, type);
    PutWord(out, static_cast<unsigned>(data.size()));
    Append(out, data);
}

}  // namespace

Bytes BuildSystemFile(const std::string& title, const std::string& copyright, uint32_t contents,
                      uint16_t lcid, uint8_t charset)
{
    Bytes out;
    PutWord(out, 0x036C);  // Magic
    PutWord(out, 33);      // Minor: the WinHelp 4 format
    PutWord(out, 1);       // Major
    PutDword(out, 0);      // GenDate: none, so that a build is reproducible
    PutWord(out, 4);       // Flags: LZ77 topic blocks of 4 KiB

    Bytes text;
    PutStringZ(text, title);
    PutSystemRecord(out, 1, text);
    if (!copyright.empty()) {
        text.clear();
        PutStringZ(text, copyright);
        PutSystemRecord(out, 2, text);
    }
    Bytes offset;
    PutDword(offset, contents);
    PutSystemRecord(out, 3, offset);
    if (lcid != 0) {
        // Two words of sorting flags, four bytes unused, then the LCID, as help
        // projects give them (LCID=0x411 0x0 0x0: the language, then the flags).
        Bytes language(8, 0);
        PutWord(language, lcid);
        PutSystemRecord(out, 9, language);
    }
    Bytes characterSet;
    PutWord(characterSet, charset);
    PutSystemRecord(out, 11, characterSet);
    return out;
}

Bytes BuildFontFile(const std::vector<std::string>& faces, const std::vector<FontDescriptor>& fonts)
{
    const unsigned headerSize = 8;
    Bytes out;
    PutWord(out, static_cast<unsigned>(faces.size()));
    PutWord(out, static_cast<unsigned>(fonts.size()));
    PutWord(out, headerSize);
    PutWord(out, static_cast<unsigned>(headerSize + faces.size() * kFaceNameSize));
    for (const std::string& face : faces) {
        Bytes name(kFaceNameSize, 0);
        std::copy_n(face.begin(), std::min<size_t>(face.size(), kFaceNameSize - 1), name.begin());
        Append(out, name);
    }
    for (const FontDescriptor& font : fonts) {
        PutByte(out, font.bold ? 0x01 : 0x00);
        PutByte(out, font.halfPoints);
        PutByte(out, 0x03);          // FAM_SWISS
        PutWord(out, font.face);
        PutByte(out, 0); PutByte(out, 0); PutByte(out, 0);         // black text
        PutByte(out, 0xFF); PutByte(out, 0xFF); PutByte(out, 0xFF);
    }
    return out;
}

Bytes BuildContextMap(std::vector<ContextNumber> numbers)
{
    std::sort(numbers.begin(), numbers.end(),
              [](const ContextNumber& a, const ContextNumber& b) { return a.number < b.number; });
    Bytes out;
    PutWord(out, static_cast<unsigned>(numbers.size()));
    for (const ContextNumber& entry : numbers) {
        PutDword(out, entry.number);
        PutDword(out, entry.topicOffset);
    }
    return out;
}

void HelpFile::AddFile(const std::string& name, const Bytes& content)
{
    files_.push_back({name, content});
}

namespace {

constexpr size_t kFileHeaderSize = 9;
constexpr size_t kHelpHeaderSize = 16;

void PutInternalFile(Bytes& out, const Bytes& content)
{
    PutDword(out, static_cast<uint32_t>(content.size() + kFileHeaderSize));  // ReservedSpace
    PutDword(out, static_cast<uint32_t>(content.size()));                    // UsedSpace
    PutByte(out, 4);                                                         // FileFlags
    Append(out, content);
}

}  // namespace

bool HelpFile::Build(Bytes& out) const
{
    std::vector<const File*> sorted;
    for (const File& file : files_) sorted.push_back(&file);
    // The directory is searched with a byte-wise comparison of the names.
    std::sort(sorted.begin(), sorted.end(), [](const File* a, const File* b) { return a->name < b->name; });
    for (size_t i = 1; i < sorted.size(); ++i) {
        if (sorted[i]->name == sorted[i - 1]->name) return false;
    }

    out.assign(kHelpHeaderSize, 0);
    std::vector<BTreeEntry> directory;
    for (const File* file : sorted) {
        BTreeEntry entry;
        PutStringZ(entry.key, file->name);
        PutDword(entry.data, static_cast<uint32_t>(out.size()));
        directory.push_back(entry);
        PutInternalFile(out, file->content);
    }
    Bytes tree;
    if (!BuildBTree(kDirectoryTree, directory, tree)) return false;
    uint32_t directoryStart = static_cast<uint32_t>(out.size());
    PutInternalFile(out, tree);

    SetDword(out, 0, 0x00035F3F);
    SetDword(out, 4, directoryStart);
    SetDword(out, 8, kNone);   // no free list
    SetDword(out, 12, static_cast<uint32_t>(out.size()));
    return true;
}

}  // namespace hlp
