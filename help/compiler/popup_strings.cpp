// The pop-up string tables (see popup_strings.h).
#include "popup_strings.h"

namespace hlp {

namespace {

// A string of a resource script: quotes doubled, backslashes and line breaks escaped.
std::string Quote(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') {
            out += "\"\"";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

std::string PopupText(const Topic& topic, const std::string& bullet)
{
    std::string text;
    for (const Paragraph& paragraph : topic.paragraphs) {
        if (!text.empty()) text += "\n\n";
        if (paragraph.style == ParagraphStyle::Bullet) text += bullet;
        for (const Run& run : paragraph.runs) text += run.text;
    }
    return text;
}

bool BuildPopupStrings(const HelpSource& source, std::string& rc, std::string& error)
{
    const Language& language = source.language;
    const std::string& codePage = language.codePage;
    // The bullet in the code page, for measuring the text as the pages load it.
    std::string bullet;
    if (!ConvertText(language.popupBullet, codePage, "UTF-8", bullet)) {
        error = "the pop-up bullet cannot be written in " + codePage;
        return false;
    }
    rc = "STRINGTABLE\nBEGIN\n";
    for (const Topic& topic : source.topics) {
        if (!topic.popup) continue;
        std::string text = PopupText(topic, bullet);
        if (text.size() > kPopupTextLimit) {
            error = "the pop-up text of topic " + topic.name + " takes " + std::to_string(text.size()) +
                    " bytes; at most " + std::to_string(kPopupTextLimit) + " fit";
            return false;
        }
        std::string utf8;
        if (!ConvertText(text, "UTF-8", codePage, utf8)) {
            error = "the pop-up text of topic " + topic.name + " cannot be converted to UTF-8";
            return false;
        }
        for (uint32_t n : topic.numbers) {
            if (n > 0xFFFF) {
                error = "the pop-up topic " + topic.name + " has the number " + std::to_string(n) +
                        ", too large for a string's id";
                return false;
            }
            rc += "    " + std::to_string(n) + ", " + Quote(utf8) + "\n";
        }
    }
    rc += "END\n";
    return true;
}

}  // namespace hlp
