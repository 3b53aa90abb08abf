// Topic records and topic blocks of |TOPIC (see topic_file.h).
#include "topic_file.h"

namespace hlp {

namespace {

constexpr size_t kLinkHeaderSize = 21;      // TOPICLINK up to and including RecordType
constexpr size_t kTopicHeaderSize = 28;     // TOPICHEADER of WinHelp 3.1 and later
constexpr uint8_t kTopicHeaderRecord = 0x02;
constexpr uint8_t kDisplayRecord = 0x20;

// Paragraph measures, in half points like the fonts.
constexpr int kSpaceBelowBody = 12;
constexpr int kSpaceBelowHeading = 16;
constexpr int kBulletIndent = 28;
constexpr int kBulletHang = -14;

// Character formatting: strings of LinkData2 alternate with the commands of
// LinkData1; every command ends the string before it, 0xFF ends both.
class FormattedText {
public:
    void Text(const std::string& text) { current_ += text; }
    void Command(std::initializer_list<uint8_t> bytes)
    {
        EndString();
        commands_.insert(commands_.end(), bytes);
    }
    void CommandWithDword(uint8_t code, uint32_t value)
    {
        Command({code});
        PutDword(commands_, value);
    }
    void Finish()
    {
        EndString();
        commands_.push_back(0xFF);
    }
    const Bytes& Commands() const { return commands_; }
    const Bytes& Strings() const { return strings_; }
private:
    void EndString()
    {
        PutStringZ(strings_, current_);
        current_.clear();
    }
    std::string current_;
    Bytes commands_;
    Bytes strings_;
};

void SetFont(FormattedText& text, unsigned& current, unsigned font)
{
    if (font == current) return;
    text.Command({0x80, static_cast<uint8_t>(font), static_cast<uint8_t>(font >> 8)});
    current = font;
}

struct Record {
    uint8_t type;
    Bytes data1;     // LinkData1
    Bytes data2;     // LinkData2
    size_t topic;    // index of the topic the record belongs to
    uint32_t characters = 0;   // TopicLength of a displayable-text record
    // Where the record was placed.
    uint32_t block = 0;
    uint32_t offsetInBlock = 0;
    size_t Size() const { return kLinkHeaderSize + data1.size() + data2.size(); }
    uint32_t Pos() const { return TopicPos(block, offsetInBlock); }
};

Record TextRecord(const Paragraph& paragraph, const std::string& bullet, size_t topic)
{
    FormattedText text;
    unsigned font = ~0u;
    if (paragraph.style == ParagraphStyle::Heading) {
        SetFont(text, font, kHeadingFont);
    } else {
        SetFont(text, font, kBodyFont);
    }
    if (paragraph.style == ParagraphStyle::Bullet) {
        text.Text(bullet);
        text.Command({0x83});   // tab to the indent
    }
    for (const Run& run : paragraph.runs) {
        unsigned wanted = paragraph.style == ParagraphStyle::Heading ? kHeadingFont
                          : run.bold && run.link == LinkKind::None ? kBoldFont : kBodyFont;
        SetFont(text, font, wanted);
        if (run.link == LinkKind::None) {
            text.Text(run.text);
            continue;
        }
        // 0xE2 is a pop-up, 0xE3 a jump, each to the topic of a context hash.
        text.CommandWithDword(run.link == LinkKind::Popup ? 0xE2 : 0xE3,
                              static_cast<uint32_t>(ContextHash(run.target)));
        text.Text(run.text);
        text.Command({0x89});
    }
    text.Command({0x82});   // end of paragraph
    text.Finish();

    Record record{kDisplayRecord, {}, text.Strings(), topic};
    record.characters = static_cast<uint32_t>(text.Strings().size());
    Bytes& d = record.data1;
    PutCompressedLong(d, static_cast<int32_t>(text.Strings().size()));   // TopicSize
    PutCompressedUShort(d, record.characters);                           // TopicLength
    PutByte(d, 0x00);     // unknownUnsignedChar
    PutByte(d, 0x80);     // unknownBiasedChar: 0
    PutWord(d, 0);        // id
    unsigned bits = 0x0004;   // space below follows
    if (paragraph.style == ParagraphStyle::Bullet) bits |= 0x0010 | 0x0040 | 0x0200;
    PutWord(d, bits);
    PutCompressedShort(d, paragraph.style == ParagraphStyle::Heading ? kSpaceBelowHeading : kSpaceBelowBody);
    if (paragraph.style == ParagraphStyle::Bullet) {
        PutCompressedShort(d, kBulletIndent);    // left indent
        PutCompressedShort(d, kBulletHang);      // first line indent
        PutCompressedShort(d, 1);                // one tab stop, at the indent
        PutCompressedUShort(d, kBulletIndent);
    }
    Append(d, text.Commands());
    return record;
}

Record HeaderRecord(const Topic& topic, size_t index)
{
    Record record{kTopicHeaderRecord, Bytes(kTopicHeaderSize, 0), {}, index};
    PutStringZ(record.data2, topic.title);   // the title; no macros follow
    return record;
}

Bytes LinkBytes(const Record& record, uint32_t previous, uint32_t next)
{
    Bytes out;
    PutDword(out, static_cast<uint32_t>(record.Size()));       // BlockSize
    PutDword(out, static_cast<uint32_t>(record.data2.size())); // DataLen2: not phrase compressed
    PutDword(out, previous);
    PutDword(out, next);
    PutDword(out, static_cast<uint32_t>(kLinkHeaderSize + record.data1.size()));  // DataLen1
    PutByte(out, record.type);
    Append(out, record.data1);
    Append(out, record.data2);
    return out;
}

}  // namespace

Bytes BuildTopicFonts(const std::string& face)
{
    return BuildFontFile({face}, {{false, 20, 0}, {true, 20, 0}, {true, 24, 0}});
}

bool BuildTopicFile(const std::vector<Topic>& topics, const std::string& bullet, Bytes& out,
                    std::vector<uint32_t>& offsets, std::string& error)
{
    std::vector<Record> records;
    for (size_t i = 0; i < topics.size(); ++i) {
        records.push_back(HeaderRecord(topics[i], i));
        for (const Paragraph& paragraph : topics[i].paragraphs) {
            records.push_back(TextRecord(paragraph, bullet, i));
        }
    }

    // A record never crosses a block: one that does not fit starts the next one.
    // Text is cut into strings only where its look changes, so a character of two
    // bytes (code page 932) always stays whole, and TopicLength counts bytes.
    // Every block holds what its 4084 bytes expand to, far below the 16 KiB that
    // a TOPICPOS can address in a block.
    const size_t capacity = LiteralLz77Capacity(kTopicBlockSize - kTopicBlockHeaderSize);
    std::vector<Bytes> blocks(1);
    offsets.assign(topics.size(), kNone);
    uint32_t characters = 0;
    for (Record& record : records) {
        if (record.Size() > capacity) {
            error = "a paragraph of topic " + topics[record.topic].name + " is too long";
            return false;
        }
        if (blocks.back().size() + record.Size() > capacity) {
            blocks.emplace_back();
            characters = 0;
        }
        record.block = static_cast<uint32_t>(blocks.size() - 1);
        record.offsetInBlock = static_cast<uint32_t>(blocks.back().size());
        blocks.back().resize(blocks.back().size() + record.Size());
        if (record.type == kTopicHeaderRecord) offsets[record.topic] = TopicOffset(record.block, characters);
        characters += record.characters;
    }

    // Topic headers now that every position is known.
    std::vector<size_t> headers;
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].type == kTopicHeaderRecord) headers.push_back(i);
    }
    for (size_t h = 0; h < headers.size(); ++h) {
        size_t first = headers[h];
        size_t end = h + 1 < headers.size() ? headers[h + 1] : records.size();
        uint32_t topicSize = 0;
        for (size_t i = first; i < end; ++i) topicSize += static_cast<uint32_t>(records[i].Size());
        Bytes& d = records[first].data1;
        SetDword(d, 0, topicSize);                                   // BlockSize of the topic
        SetDword(d, 4, kNone);                                       // BrowseBck: no browse sequence
        SetDword(d, 8, kNone);                                       // BrowseFor
        SetDword(d, 12, static_cast<uint32_t>(h));                   // TopicNum
        SetDword(d, 16, kNone);                                      // NonScroll: none
        SetDword(d, 20, first + 1 < end ? records[first + 1].Pos() : kNone);   // Scroll
        SetDword(d, 24, end < records.size() ? records[end].Pos() : kNone);    // NextTopic
    }

    for (size_t i = 0; i < records.size(); ++i) {
        uint32_t previous = i == 0 ? kNone : records[i - 1].Pos();
        uint32_t next = i + 1 == records.size() ? kNone : records[i + 1].Pos();
        Bytes link = LinkBytes(records[i], previous, next);
        std::copy(link.begin(), link.end(), blocks[records[i].block].begin() + records[i].offsetInBlock);
    }

    out.clear();
    size_t r = 0;
    uint32_t lastLink = kNone, lastHeader = kNone;
    for (size_t b = 0; b < blocks.size(); ++b) {
        PutDword(out, lastLink);                    // last TOPICLINK of the block before
        PutDword(out, records[r].Pos());            // first TOPICLINK of this block
        PutDword(out, lastHeader);                  // topic header in progress as the block starts
        Bytes encoded = EncodeLiteralLz77(blocks[b]);
        // The rest of the block is zeros, as help compilers leave it.
        encoded.resize(kTopicBlockSize - kTopicBlockHeaderSize, 0);
        Append(out, encoded);
        for (; r < records.size() && records[r].block == b; ++r) {
            lastLink = records[r].Pos();
            if (records[r].type == kTopicHeaderRecord) lastHeader = records[r].Pos();
        }
    }
    return true;
}

}  // namespace hlp
