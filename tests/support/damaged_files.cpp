// Damaged libraries and shortcuts for the robustness tests.
#include "damaged_files.h"
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

std::string Hex(size_t value)
{
    char text[24];
    snprintf(text, sizeof text, "0x%zx", value);
    return text;
}

void Put32(std::string& bytes, size_t at, DWORD value)
{
    if (at + 4 <= bytes.size())
        memcpy(&bytes[at], &value, 4);
}

void Put16(std::string& bytes, size_t at, WORD value)
{
    if (at + 2 <= bytes.size())
        memcpy(&bytes[at], &value, 2);
}

DWORD Get32(const std::string& bytes, size_t at)
{
    DWORD value = 0;
    if (at + 4 <= bytes.size())
        memcpy(&value, &bytes[at], 4);
    return value;
}

WORD Get16(const std::string& bytes, size_t at)
{
    WORD value = 0;
    if (at + 2 <= bytes.size())
        memcpy(&value, &bytes[at], 2);
    return value;
}

// Where the parts of a PE library lie in its file.
struct Layout {
    size_t ntHeaders = 0;     // "PE\0\0"
    size_t optionalHeader = 0;
    size_t sectionTable = 0;
    WORD sections = 0;
    size_t headersEnd = 0;    // first byte of the first section's data
    size_t rsrcHeader = 0;    // the .rsrc section's entry in the table
    size_t rsrcStart = 0;     // file offset of the resource section
    size_t rsrcSize = 0;
    DWORD rsrcRva = 0;
    size_t rsrcDirectoryEntry = 0;  // the data directory entry of the resources
    std::vector<size_t> directories;   // IMAGE_RESOURCE_DIRECTORY headers
    std::vector<size_t> entries;       // IMAGE_RESOURCE_DIRECTORY_ENTRY records
    std::vector<size_t> dataEntries;   // IMAGE_RESOURCE_DATA_ENTRY records
    struct Blob {
        WORD type;
        size_t start;
        size_t size;
    };
    std::vector<Blob> blobs;           // the resources' data
};

void WalkDirectory(const std::string& image, Layout& layout, size_t directory, int depth, WORD type)
{
    if (depth > 2 || directory + 16 > image.size())
        return;
    layout.directories.push_back(directory);
    int count = Get16(image, directory + 12) + Get16(image, directory + 14);
    for (int i = 0; i < count; ++i) {
        size_t entry = directory + 16 + 8 * i;
        if (entry + 8 > image.size())
            return;
        layout.entries.push_back(entry);
        DWORD name = Get32(image, entry);
        DWORD target = Get32(image, entry + 4);
        WORD entryType = depth == 0 ? static_cast<WORD>((name & 0x80000000) ? 0 : name) : type;
        if (target & 0x80000000) {
            WalkDirectory(image, layout, layout.rsrcStart + (target & 0x7FFFFFFF), depth + 1, entryType);
        } else {
            size_t data = layout.rsrcStart + target;
            if (data + 16 > image.size())
                continue;
            layout.dataEntries.push_back(data);
            DWORD rva = Get32(image, data);
            DWORD size = Get32(image, data + 4);
            if (rva >= layout.rsrcRva && rva - layout.rsrcRva + size <= layout.rsrcSize)
                layout.blobs.push_back({entryType, layout.rsrcStart + (rva - layout.rsrcRva), size});
        }
    }
}

bool ReadLayout(const std::string& image, Layout& layout)
{
    if (image.size() < 0x100 || Get16(image, 0) != IMAGE_DOS_SIGNATURE)
        return false;
    layout.ntHeaders = Get32(image, 0x3C);
    if (layout.ntHeaders + 24 + 224 > image.size() || Get32(image, layout.ntHeaders) != IMAGE_NT_SIGNATURE)
        return false;
    layout.optionalHeader = layout.ntHeaders + 24;
    layout.sections = Get16(image, layout.ntHeaders + 6);
    layout.sectionTable = layout.optionalHeader + Get16(image, layout.ntHeaders + 20);
    layout.rsrcDirectoryEntry = layout.optionalHeader + 96 + 8 * IMAGE_DIRECTORY_ENTRY_RESOURCE;
    layout.rsrcRva = Get32(image, layout.rsrcDirectoryEntry);
    layout.headersEnd = image.size();
    for (WORD i = 0; i < layout.sections; ++i) {
        size_t header = layout.sectionTable + 40 * i;
        DWORD va = Get32(image, header + 12), rawSize = Get32(image, header + 16), raw = Get32(image, header + 20);
        if (raw && raw < layout.headersEnd)
            layout.headersEnd = raw;
        if (va == layout.rsrcRva) {
            layout.rsrcHeader = header;
            layout.rsrcStart = raw;
            layout.rsrcSize = rawSize;
        }
    }
    if (!layout.rsrcStart || layout.rsrcStart + layout.rsrcSize > image.size())
        return false;
    WalkDirectory(image, layout, layout.rsrcStart, 0, 0);
    return !layout.dataEntries.empty();
}

class Maker {
public:
    Maker(const std::string& original, unsigned seed) : original_(original), random_(seed) {}
    size_t Below(size_t limit) { return limit ? std::uniform_int_distribution<size_t>(0, limit - 1)(random_) : 0; }
    char Byte() { return static_cast<char>(Below(256)); }
    std::string Copy() const { return original_; }
    void Add(const std::string& description, std::string contents)
    {
        files.push_back({description, std::move(contents)});
    }
    void Truncated(size_t length, const std::string& where)
    {
        if (length <= original_.size())
            Add("cut at " + Hex(length) + " (" + where + ")", original_.substr(0, length));
    }
    // count random bytes in [start, start + size).
    void Scrambled(size_t start, size_t size, size_t count, const std::string& where)
    {
        std::string bytes = Copy();
        std::string description = std::to_string(count) + " random bytes in " + where + " at";
        for (size_t i = 0; i < count && size; ++i) {
            size_t at = start + Below(size);
            if (at < bytes.size()) {
                bytes[at] = Byte();
                description += " " + Hex(at);
            }
        }
        Add(description, bytes);
    }
    void Word32(size_t at, DWORD value, const std::string& what)
    {
        std::string bytes = Copy();
        Put32(bytes, at, value);
        Add(what + " = " + Hex(value) + " at " + Hex(at), bytes);
    }
    void Word16(size_t at, WORD value, const std::string& what)
    {
        std::string bytes = Copy();
        Put16(bytes, at, value);
        Add(what + " = " + Hex(value) + " at " + Hex(at), bytes);
    }
    std::vector<DamagedFile> files;

private:
    const std::string& original_;
    std::mt19937 random_;
};

}  // namespace

std::vector<DamagedFile> DamageLibrary(const std::string& image, unsigned seed)
{
    Layout layout;
    if (!ReadLayout(image, layout))
        return {};
    Maker make(image, seed);
    size_t size = image.size();

    // Truncated: through the DOS and PE headers, at every structure of the resource
    // tree and every resource's data, and at random lengths.
    for (size_t length : {0, 1, 2, 32, 59, 60, 63, 64, 128})
        make.Truncated(length, "DOS header");
    for (size_t offset : {0, 4, 6, 20, 24, 26, 60, 92, 96, 120, 200, 223, 224})
        make.Truncated(layout.ntHeaders + offset, "PE headers");
    for (WORD i = 0; i <= layout.sections; ++i)
        make.Truncated(layout.sectionTable + 40 * i, "section table");
    make.Truncated(layout.headersEnd, "end of the headers");
    for (size_t offset : {0, 1, 15, 16, 17, 24})
        make.Truncated(layout.rsrcStart + offset, "resource root");
    for (size_t directory : layout.directories)
        make.Truncated(directory + 14, "resource directory");
    for (size_t entry : layout.entries)
        make.Truncated(entry + 4, "resource directory entry");
    for (size_t data : layout.dataEntries)
        make.Truncated(data + 8, "resource data entry");
    for (const Layout::Blob& blob : layout.blobs) {
        make.Truncated(blob.start + 4, "resource type " + std::to_string(blob.type));
        make.Truncated(blob.start + blob.size / 2, "resource type " + std::to_string(blob.type));
        make.Truncated(blob.start + blob.size - 1, "resource type " + std::to_string(blob.type));
    }
    make.Truncated(layout.rsrcStart + layout.rsrcSize - 1, "end of the resources");
    for (int i = 0; i < 30; ++i)
        make.Truncated(make.Below(size), "random length");

    // Random bytes in the headers and in the resource section: mostly in the
    // resource tree and the resources' own headers, where a reader looks first.
    for (int i = 0; i < 120; ++i)
        make.Scrambled(0, layout.headersEnd, 1 + make.Below(8), "the headers");
    size_t treeEnd = layout.rsrcStart;
    for (size_t data : layout.dataEntries)
        treeEnd = data + 16 > treeEnd ? data + 16 : treeEnd;
    for (int i = 0; i < 80; ++i)
        make.Scrambled(layout.rsrcStart, treeEnd - layout.rsrcStart, 1 + make.Below(16), "the resource tree");
    for (int i = 0; i < 50; ++i) {
        const Layout::Blob& blob = layout.blobs[make.Below(layout.blobs.size())];
        make.Scrambled(blob.start, blob.size < 64 ? blob.size : 64, 1 + make.Below(8),
                       "the header of a resource of type " + std::to_string(blob.type));
    }
    for (int i = 0; i < 30; ++i)
        make.Scrambled(layout.rsrcStart, layout.rsrcSize, 1 + make.Below(64), "the resource section");

    // Pointing outside the file: subdirectory, data entry and name offsets, and the
    // data's own address.
    const DWORD outside[] = {0x7FFFFFF0, static_cast<DWORD>(size), static_cast<DWORD>(layout.rsrcSize)};
    for (size_t entry : layout.entries) {
        DWORD target = Get32(image, entry + 4);
        DWORD away = outside[make.Below(3)];
        make.Word32(entry + 4, (target & 0x80000000) | away, "resource entry target");
        DWORD name = Get32(image, entry);
        if (name & 0x80000000)
            make.Word32(entry, 0x80000000 | outside[make.Below(3)], "resource entry name offset");
    }
    for (size_t data : layout.dataEntries) {
        make.Word32(data, 0xFFFFFFF0, "resource data address");
        make.Word32(data, static_cast<DWORD>(layout.rsrcRva + layout.rsrcSize + 0x100000), "resource data address");
        make.Word32(data, layout.rsrcRva - 0x100, "resource data address");
    }
    make.Word32(layout.rsrcDirectoryEntry, 0x7FFFF000, "resource directory address");
    make.Word32(layout.rsrcDirectoryEntry, layout.rsrcRva + static_cast<DWORD>(layout.rsrcSize) - 8,
                "resource directory address");
    make.Word32(layout.rsrcHeader + 20, static_cast<DWORD>(size + 0x1000), "resource section file offset");
    make.Word32(layout.rsrcHeader + 20, 0xFFFFFE00, "resource section file offset");

    // Huge counts and sizes.
    for (size_t directory : layout.directories) {
        make.Word16(directory + 12, 0xFFFF, "named entries");
        make.Word16(directory + 14, 0xFFFF, "numbered entries");
    }
    for (size_t data : layout.dataEntries) {
        make.Word32(data + 4, 0xFFFFFFFF, "resource data size");
        make.Word32(data + 4, 0x7FFFFFFF, "resource data size");
        make.Word32(data + 4, Get32(image, data + 4) + 1, "resource data size");
    }
    make.Word32(layout.rsrcDirectoryEntry + 4, 0xFFFFFFFF, "resource directory size");
    make.Word32(layout.rsrcHeader + 8, 0xFFFFFFFF, "resource section virtual size");
    make.Word32(layout.rsrcHeader + 16, 0xFFFFFFFF, "resource section raw size");
    make.Word16(layout.ntHeaders + 6, 0xFFFF, "number of sections");
    make.Word16(layout.ntHeaders + 20, 0xFFFF, "optional header size");
    make.Word32(layout.optionalHeader + 56, 0xFFFFFFFF, "image size");
    make.Word32(layout.optionalHeader + 60, 0xFFFFFFFF, "headers size");
    make.Word32(layout.optionalHeader + 92, 0xFFFFFFFF, "number of data directories");
    make.Word32(0x3C, 0xFFFFFFF0, "PE header offset");
    make.Word32(0x3C, static_cast<DWORD>(size - 2), "PE header offset");
    for (const Layout::Blob& blob : layout.blobs) {
        std::string type = "type " + std::to_string(blob.type);
        switch (blob.type) {
        case 14:  // RT_GROUP_ICON
        case 12:  // RT_GROUP_CURSOR
            make.Word16(blob.start + 4, 0xFFFF, type + " group count");
            make.Word32(blob.start + 6 + 8, 0xFFFFFFFF, type + " group entry bytes");
            make.Word16(blob.start + 6 + 12, 0xFFFF, type + " group entry id");
            make.Word16(blob.start + 6 + 6, 0xFFFF, type + " group entry bit count");
            break;
        case 3:  // RT_ICON: a BITMAPINFOHEADER (or a PNG)
        case 2:  // RT_BITMAP
            make.Word32(blob.start, 0xFFFFFFFF, type + " header size");
            make.Word32(blob.start + 4, 0x7FFFFFFF, type + " width");
            make.Word32(blob.start + 8, 0x7FFFFFFF, type + " height");
            make.Word32(blob.start + 8, 0x80000001, type + " height");
            make.Word16(blob.start + 14, 0xFFFF, type + " bit count");
            make.Word32(blob.start + 32, 0xFFFFFFFF, type + " colours used");
            break;
        case 1:  // RT_CURSOR: hotspot, then the image
            make.Word32(blob.start + 4, 0xFFFFFFFF, type + " header size");
            make.Word32(blob.start + 8, 0x7FFFFFFF, type + " width");
            break;
        case 21:  // RT_ANICURSOR: a RIFF file
            make.Word32(blob.start + 4, 0xFFFFFFFF, type + " RIFF size");
            make.Word32(blob.start + 16, 0xFFFFFFFF, type + " first chunk size");
            break;
        }
    }
    // An evenly spread choice of at most this many, every kind of damage kept: each
    // copy goes through a whole Properties dialog.
    const size_t kMost = 520;
    if (make.files.size() <= kMost)
        return make.files;
    std::vector<DamagedFile> chosen;
    for (size_t i = 0; i < kMost; ++i)
        chosen.push_back(std::move(make.files[i * make.files.size() / kMost]));
    return chosen;
}

std::vector<DamagedFile> DamageShortcut(const std::string& link, unsigned seed)
{
    if (link.size() < 0x4C + 2)
        return {};
    Maker make(link, seed);
    size_t size = link.size();
    for (size_t length : {0, 1, 4, 20, 0x4B, 0x4C, 0x4D, 0x4E, 0x60})
        make.Truncated(length, "header and item list");
    for (int i = 0; i < 10; ++i)
        make.Truncated(make.Below(size), "random length");
    for (int i = 0; i < 15; ++i)
        make.Scrambled(0, 0x4C, 1 + make.Below(6), "the header");
    for (int i = 0; i < 15; ++i)
        make.Scrambled(0x4C, size - 0x4C, 1 + make.Below(12), "the rest");
    make.Word32(0, 0xFFFFFFFF, "header size");
    make.Word32(0x14, 0xFFFFFFFF, "link flags");
    make.Word16(0x4C, 0xFFFF, "item list size");
    make.Word16(0x4C + 2, 0xFFFF, "first item size");
    size_t info = 0x4C + 2 + Get16(link, 0x4C);
    make.Word32(info, 0xFFFFFFFF, "link information size");
    make.Word32(info + 4, 0xFFFFFFFF, "link information header size");
    make.Word32(info + 16, 0x7FFFFFFF, "local base path offset");
    // The strings after the link information, each counted in its first word.
    size_t strings = info + Get32(link, info);
    make.Word16(strings, 0xFFFF, "first string's length");
    return make.files;
}
