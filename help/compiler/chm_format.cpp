// The HTML Help file (see chm_format.h).
#include "chm_format.h"

#include <algorithm>
#include <map>

namespace hlp {

namespace {

constexpr uint32_t kChunkSize = 0x1000;
constexpr uint32_t kItsfHeaderSize = 0x60;
constexpr uint32_t kHeaderSectionSize = 0x18;
constexpr uint32_t kItspHeaderSize = 0x54;
constexpr uint32_t kListingHeaderSize = 20;
// Quick-reference density 2: an entry of the area at the chunk's end for every
// 1 + (1 << 2) directory entries.
constexpr uint32_t kDensity = 2;
constexpr uint32_t kQuickRefEvery = 1 + (1u << kDensity);
constexpr uint32_t kNoChunk = 0xFFFFFFFF;
// The language of English files, which carry no LCID in WinHelp: U.S. English.
constexpr uint32_t kEnglishLcid = 0x0409;
constexpr char kLzxGuid[] = "{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}";

void PutQword(Bytes& out, uint64_t value)
{
    PutDword(out, static_cast<uint32_t>(value));
    PutDword(out, static_cast<uint32_t>(value >> 32));
}

void PutGuid(Bytes& out, uint32_t d1, uint16_t d2, uint16_t d3, std::initializer_list<uint8_t> d4)
{
    PutDword(out, d1);
    PutWord(out, d2);
    PutWord(out, d3);
    for (uint8_t b : d4) PutByte(out, b);
}

// UTF-16LE of ASCII text.
void PutAsciiUtf16(Bytes& out, const std::string& text)
{
    for (char c : text) PutWord(out, static_cast<uint8_t>(c));
}

// ::DataSpace/NameList: its length in 16-bit words, the number of sections, then
// each section's name as a counted, NUL-terminated UTF-16 string. Section 0 holds
// the files as they are, section 1 would hold LZX-compressed ones.
Bytes NameList()
{
    Bytes out;
    PutWord(out, 0);
    PutWord(out, 2);
    for (const std::string name : {"Uncompressed", "MSCompressed"}) {
        PutWord(out, static_cast<unsigned>(name.size()));
        PutAsciiUtf16(out, name);
        PutWord(out, 0);
    }
    out[0] = static_cast<uint8_t>(out.size() / 2);
    out[1] = static_cast<uint8_t>(out.size() / 2 >> 8);
    return out;
}

// The files that describe the compressed section, here empty: no data, and the LZX
// parameters every HTML Help compiler writes (reset interval and window 2 x 32 KiB).
void AddEmptyCompressedSection(std::vector<ChmEntry>& files)
{
    const std::string storage = "::DataSpace/Storage/MSCompressed/";
    Bytes control;
    PutDword(control, 6);   // DWORDs that follow
    control.insert(control.end(), {'L', 'Z', 'X', 'C'});
    PutDword(control, 2);   // version
    PutDword(control, 2);   // reset interval
    PutDword(control, 2);   // window size
    PutDword(control, 1);   // cache size
    PutDword(control, 0);
    Bytes span;
    PutQword(span, 0);      // uncompressed length
    // The transform's GUID in UTF-16, cut to 0x26 bytes as HTML Help compilers store it.
    Bytes list;
    PutAsciiUtf16(list, kLzxGuid);
    list.resize(0x26);
    Bytes reset;
    PutDword(reset, 2);     // version
    PutDword(reset, 1);     // entries: the first block's, at 0
    PutDword(reset, 8);     // entry size
    PutDword(reset, 0x28);  // header size
    PutQword(reset, 0);     // uncompressed length
    PutQword(reset, 0);     // compressed length
    PutQword(reset, 0x8000);   // block size
    PutQword(reset, 0);
    files.push_back({storage + "Content", {}});
    files.push_back({storage + "ControlData", control});
    files.push_back({storage + "SpanInfo", span});
    files.push_back({storage + "Transform/List", list});
    files.push_back({storage + "Transform/" + kLzxGuid + "/InstanceData/ResetTable", reset});
}

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

}  // namespace

void PutEncInt(Bytes& out, uint64_t value)
{
    uint8_t groups[10];
    int n = 0;
    do {
        groups[n++] = value & 0x7F;
        value >>= 7;
    } while (value);
    while (n > 1) PutByte(out, groups[--n] | 0x80);
    PutByte(out, groups[0]);
}

bool ChmNameLess(const std::string& a, const std::string& b)
{
    auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](char x, char y) { return fold(x) < fold(y); });
}

bool BuildChmContainer(std::vector<ChmEntry> files, uint32_t lcid, Bytes& out, std::string& error)
{
    files.push_back({"/", {}});
    files.push_back({"::DataSpace/NameList", NameList()});
    AddEmptyCompressedSection(files);
    std::sort(files.begin(), files.end(), [](const ChmEntry& a, const ChmEntry& b) { return ChmNameLess(a.name, b.name); });
    for (size_t i = 1; i < files.size(); ++i) {
        if (!ChmNameLess(files[i - 1].name, files[i].name)) {
            error = "two files are named " + files[i].name;
            return false;
        }
    }

    // The listing chunk: header, entries, free space, then the quick-reference
    // offsets (from the first entry, last one first) and the number of entries.
    Bytes content, entries;
    std::vector<uint32_t> quickRefs;
    for (size_t i = 0; i < files.size(); ++i) {
        if (i > 0 && i % kQuickRefEvery == 0) quickRefs.push_back(static_cast<uint32_t>(entries.size()));
        PutEncInt(entries, files[i].name.size());
        entries.insert(entries.end(), files[i].name.begin(), files[i].name.end());
        PutEncInt(entries, 0);   // content section 0
        PutEncInt(entries, content.size());
        PutEncInt(entries, files[i].content.size());
        Append(content, files[i].content);
    }
    const size_t used = kListingHeaderSize + entries.size();
    if (used + 2 * (quickRefs.size() + 1) > kChunkSize) {
        error = "the file's directory does not fit one " + std::to_string(kChunkSize) + "-byte chunk";
        return false;
    }
    Bytes chunk;
    chunk.insert(chunk.end(), {'P', 'M', 'G', 'L'});
    PutDword(chunk, static_cast<uint32_t>(kChunkSize - used));   // free space and quick references
    PutDword(chunk, 0);
    PutDword(chunk, kNoChunk);   // previous listing chunk
    PutDword(chunk, kNoChunk);   // next listing chunk
    Append(chunk, entries);
    chunk.resize(kChunkSize - 2 * (quickRefs.size() + 1));
    for (size_t i = quickRefs.size(); i-- > 0;) PutWord(chunk, quickRefs[i]);
    PutWord(chunk, static_cast<unsigned>(files.size()));

    Bytes directory;
    directory.insert(directory.end(), {'I', 'T', 'S', 'P'});
    PutDword(directory, 1);                // version
    PutDword(directory, kItspHeaderSize);
    PutDword(directory, 10);
    PutDword(directory, kChunkSize);
    PutDword(directory, kDensity);
    PutDword(directory, 1);                // depth: listing chunks only
    PutDword(directory, kNoChunk);         // root index chunk: none
    PutDword(directory, 0);                // first listing chunk
    PutDword(directory, 0);                // last listing chunk
    PutDword(directory, kNoChunk);
    PutDword(directory, 1);                // chunks
    PutDword(directory, lcid);
    PutGuid(directory, 0x5D02926A, 0x212E, 0x11D0, {0x9D, 0xF9, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC});
    PutDword(directory, kItspHeaderSize);
    PutDword(directory, kNoChunk);
    PutDword(directory, kNoChunk);
    PutDword(directory, kNoChunk);
    Append(directory, chunk);

    const uint64_t directoryOffset = kItsfHeaderSize + kHeaderSectionSize;
    const uint64_t contentOffset = directoryOffset + directory.size();
    out.clear();
    out.insert(out.end(), {'I', 'T', 'S', 'F'});
    PutDword(out, 3);                      // version
    PutDword(out, kItsfHeaderSize);
    PutDword(out, 1);
    PutDword(out, 0);                      // time stamp: none, so that builds repeat
    PutDword(out, lcid);
    PutGuid(out, 0x7C01FD10, 0x7BAA, 0x11D0, {0x9E, 0x0C, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC});
    PutGuid(out, 0x7C01FD11, 0x7BAA, 0x11D0, {0x9E, 0x0C, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC});
    PutQword(out, kItsfHeaderSize);        // header section 0
    PutQword(out, kHeaderSectionSize);
    PutQword(out, directoryOffset);        // header section 1: the directory
    PutQword(out, directory.size());
    PutQword(out, contentOffset);          // content section 0
    PutDword(out, 0x01FE);                 // header section 0
    PutDword(out, 0);
    PutQword(out, contentOffset + content.size());   // the file's size
    PutDword(out, 0);
    PutDword(out, 0);
    Append(out, directory);
    Append(out, content);
    return true;
}

Bytes BuildChmSystem(const std::string& defaultTopic, const std::string& title, uint32_t lcid, bool dbcs)
{
    Bytes out;
    PutDword(out, 3);   // version
    auto record = [&out](unsigned code, const Bytes& data) {
        PutWord(out, code);
        PutWord(out, static_cast<unsigned>(data.size()));
        Append(out, data);
    };
    auto text = [&record](unsigned code, const std::string& s) {
        Bytes data;
        PutStringZ(data, s);
        record(code, data);
    };
    // The language first, so that a reader knows the code page of the text after it.
    Bytes language;
    PutDword(language, lcid);
    PutDword(language, dbcs ? 1 : 0);
    PutDword(language, 0);   // no full-text search
    PutDword(language, 0);   // no keyword links
    PutDword(language, 0);   // no associative links
    PutQword(language, 0);   // time stamp
    PutDword(language, 0);
    PutDword(language, 0);
    record(4, language);
    text(2, defaultTopic);
    text(3, title);
    text(6, "kelvara");      // the compiled file's name
    text(9, "Kelvara hlpc");
    return out;
}

void BuildChmContextMap(std::vector<ContextAlias> aliases, Bytes& ivb, Bytes& strings)
{
    std::sort(aliases.begin(), aliases.end(),
              [](const ContextAlias& a, const ContextAlias& b) { return a.number < b.number; });
    strings.assign(1, 0);
    std::map<std::string, uint32_t> offsets;
    Bytes pairs;
    for (const ContextAlias& alias : aliases) {
        auto found = offsets.find(alias.target);
        if (found == offsets.end()) {
            // Readers load #STRINGS in 4 KiB blocks: no string may cross one.
            size_t size = alias.target.size() + 1;
            if (strings.size() / kChunkSize != (strings.size() + size - 1) / kChunkSize) {
                strings.resize((strings.size() / kChunkSize + 1) * kChunkSize);
            }
            found = offsets.emplace(alias.target, static_cast<uint32_t>(strings.size())).first;
            PutStringZ(strings, alias.target);
        }
        PutDword(pairs, alias.number);
        PutDword(pairs, found->second);
    }
    ivb.clear();
    PutDword(ivb, static_cast<uint32_t>(pairs.size()));
    Append(ivb, pairs);
}

std::string TopicPageName(const Topic& topic)
{
    return topic.name + ".htm";
}

std::string TopicPage(const Topic& topic, const Language& language)
{
    std::string html = "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" +
                       language.htmlCharset + "\">\r\n<title>" + Escape(topic.title) + "</title>\r\n</head>\r\n<body>\r\n";
    bool inList = false;
    for (const Paragraph& paragraph : topic.paragraphs) {
        bool bullet = paragraph.style == ParagraphStyle::Bullet;
        if (bullet != inList) html += bullet ? "<ul>\r\n" : "</ul>\r\n";
        inList = bullet;
        std::string text;
        for (const Run& run : paragraph.runs) {
            std::string escaped = Escape(run.text);
            if (run.link != LinkKind::None) {
                text += "<a href=\"" + Escape(run.target) + ".htm\">" + escaped + "</a>";
            } else {
                text += run.bold ? "<b>" + escaped + "</b>" : escaped;
            }
        }
        switch (paragraph.style) {
        case ParagraphStyle::Heading: html += "<h1>" + text + "</h1>\r\n"; break;
        case ParagraphStyle::Bullet: html += "<li>" + text + "</li>\r\n"; break;
        case ParagraphStyle::Body: html += "<p>" + text + "</p>\r\n"; break;
        }
    }
    if (inList) html += "</ul>\r\n";
    return html + "</body>\r\n</html>\r\n";
}

bool BuildChm(const HelpSource& source, Bytes& out, std::string& error)
{
    const Language& language = source.language;
    const uint32_t lcid = language.lcid ? language.lcid : kEnglishLcid;
    std::vector<ChmEntry> files;
    std::vector<ContextAlias> aliases;
    std::string defaultTopic;
    for (const Topic& topic : source.topics) {
        std::string page = TopicPage(topic, language);
        files.push_back({"/" + TopicPageName(topic), Bytes(page.begin(), page.end())});
        for (uint32_t n : topic.numbers) aliases.push_back({n, TopicPageName(topic)});
        if (topic.contents) defaultTopic = TopicPageName(topic);
    }
    Bytes ivb, strings;
    BuildChmContextMap(aliases, ivb, strings);
    files.push_back({"/#IVB", ivb});
    files.push_back({"/#STRINGS", strings});
    const bool dbcs = language.charset == 128;   // SHIFTJIS_CHARSET: a double-byte code page
    files.push_back({"/#SYSTEM", BuildChmSystem(defaultTopic, source.title, lcid, dbcs)});
    return BuildChmContainer(files, lcid, out, error);
}

}  // namespace hlp
