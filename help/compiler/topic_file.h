// The topics of a help file and their |TOPIC file: one topic-header record and
// one displayable-text record per paragraph, laid into 4 KiB topic blocks.
#pragma once
#include "hlp_format.h"

#include <string>
#include <vector>

namespace hlp {

enum class LinkKind { None, Popup, Jump };

// A stretch of a paragraph with one look: plain, bold, or a hot spot that opens
// the topic `target` (a context string) as a pop-up or in the main window.
struct Run {
    std::string text;        // in the help file's code page
    bool bold = false;
    LinkKind link = LinkKind::None;
    std::string target;
};

enum class ParagraphStyle { Heading, Body, Bullet };

struct Paragraph {
    ParagraphStyle style = ParagraphStyle::Body;
    std::vector<Run> runs;
};

struct Topic {
    std::string name;                // context string
    std::vector<uint32_t> numbers;   // context numbers
    bool contents = false;
    bool popup = false;              // a control's pop-up: its text goes into a string table too
    std::string title;
    std::vector<Paragraph> paragraphs;
};

// The fonts that the text records switch between, numbered as |FONT lists them,
// all of one face.
enum FontNumber : unsigned { kBodyFont = 0, kBoldFont = 1, kHeadingFont = 2 };
Bytes BuildTopicFonts(const std::string& face);

// |TOPIC for the topics in this order, with `bullet` before each bulleted item,
// and the TOPICOFFSET of each topic (for |CONTEXT, |CTXOMAP, |TTLBTREE and the
// contents record). False with a message when a paragraph is too large for a
// topic block.
bool BuildTopicFile(const std::vector<Topic>& topics, const std::string& bullet, Bytes& out,
                    std::vector<uint32_t>& offsets, std::string& error);

}  // namespace hlp
