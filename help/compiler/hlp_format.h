// The building blocks of a WinHelp 4 (.HLP) file: little-endian records, the
// compressed numbers of topic records, the context-string hash, B+ trees, the
// internal file system and the |SYSTEM, |FONT and |CTXOMAP files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace hlp {

using Bytes = std::vector<uint8_t>;

void PutByte(Bytes& out, unsigned value);
void PutWord(Bytes& out, unsigned value);
void PutDword(Bytes& out, uint32_t value);
// The text and its terminating NUL.
void PutStringZ(Bytes& out, const std::string& text);
void Append(Bytes& out, const Bytes& more);
void SetDword(Bytes& out, size_t at, uint32_t value);

// The variable-length numbers of a topic record's LinkData1: the low bit of the
// first byte tells the short form (clear) from the long one (set). Signed forms
// are stored with a bias (64, 16384, 0x4000 and 0x40000000).
void PutCompressedUShort(Bytes& out, unsigned value);   // 0 .. 32767
void PutCompressedShort(Bytes& out, int value);         // -16384 .. 16383
void PutCompressedULong(Bytes& out, uint32_t value);    // 0 .. 0x7FFFFFFF
void PutCompressedLong(Bytes& out, int32_t value);      // -0x40000000 .. 0x3FFFFFFF

// Context strings: letters, digits, '_' and '.', at most 255 characters, the
// characters every help compiler and viewer hash the same way.
bool IsValidContextName(const std::string& name);
// The hash under which |CONTEXT files a context string: hash = hash * 43 + code
// of each character, in 32-bit arithmetic; letters are not case-sensitive.
int32_t ContextHash(const std::string& name);

// Positions in |TOPIC. A topic block holds at most 16 KiB once expanded; a
// TOPICPOS names a byte of a block (after its 12-byte header), a TOPICOFFSET a
// character count within a block.
constexpr uint32_t kTopicBlockSize = 4096;
constexpr uint32_t kTopicBlockHeaderSize = 12;
constexpr uint32_t kNone = 0xFFFFFFFF;
uint32_t TopicPos(uint32_t block, uint32_t offsetInBlock);
uint32_t TopicOffset(uint32_t block, uint32_t characterCount);

// LZ77 as the format defines it (a flag byte for every 8 items; a clear bit is one
// literal byte), written with literals only: no compression, but data every
// reader expands. How many expanded bytes fit into `compressedRoom` bytes.
Bytes EncodeLiteralLz77(const Bytes& data);
size_t LiteralLz77Capacity(size_t compressedRoom);

// One entry of a B+ tree: the key as stored in leaf and index pages, and the data
// that follows the key in a leaf page. Entries are given in the tree's order.
struct BTreeEntry {
    Bytes key;
    Bytes data;
};
struct BTreeLayout {
    uint16_t flags;          // 0x0002, plus 0x0400 for the directory
    uint16_t pageSize;       // 0x0400 for the directory, 0x0800 otherwise
    const char* structure;   // up to 15 characters, e.g. "z4" or "L4"
};
constexpr BTreeLayout kDirectoryTree = {0x0402, 0x0400, "z4"};
constexpr BTreeLayout kContextTree = {0x0002, 0x0800, "L4"};
constexpr BTreeLayout kTitleTree = {0x0002, 0x0800, "Lz"};
// The B+ tree header (38 bytes) and its pages. Returns false (and leaves `out`
// empty) when one entry does not fit into a page.
bool BuildBTree(const BTreeLayout& layout, const std::vector<BTreeEntry>& entries, Bytes& out);

// |SYSTEM for a WinHelp 4 file (version 1.33) whose topic blocks are 4 KiB and
// LZ77-encoded (flags 4); `contents` is the TOPICOFFSET of the contents topic.
// The file's language: an LCID record unless `lcid` is 0, and the character set
// of its fonts (the font descriptors of |FONT have none of their own).
Bytes BuildSystemFile(const std::string& title, const std::string& copyright, uint32_t contents,
                      uint16_t lcid, uint8_t charset);

// |FONT: face names and the 11-byte descriptors that font changes in topic
// records number from 0.
struct FontDescriptor {
    bool bold;
    unsigned halfPoints;
    unsigned face;           // index into the face names
};
constexpr unsigned kFaceNameSize = 32;
Bytes BuildFontFile(const std::vector<std::string>& faces, const std::vector<FontDescriptor>& fonts);

// |CTXOMAP: context numbers and the TOPICOFFSETs they open.
struct ContextNumber {
    uint32_t number;
    uint32_t topicOffset;
};
Bytes BuildContextMap(std::vector<ContextNumber> numbers);

// The help file: its 16-byte header, the internal files, each behind a 9-byte
// file header, and the directory of their names.
class HelpFile {
public:
    void AddFile(const std::string& name, const Bytes& content);
    // The whole file; false when a name repeats or the directory cannot be built.
    bool Build(Bytes& out) const;
private:
    struct File {
        std::string name;
        Bytes content;
    };
    std::vector<File> files_;
};

}  // namespace hlp
