// Reading the help source into topics (see help_source.h).
#include "help_source.h"

#include <iconv.h>

#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

namespace hlp {

bool ConvertText(const std::string& text, const std::string& to, const std::string& from, std::string& out)
{
    if (to.empty() || from.empty()) {
        out = text;
        return true;
    }
    iconv_t converter = iconv_open(to.c_str(), from.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    // No character grows to more than three bytes for each of its bytes.
    std::string buffer(text.size() * 3, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* written = &buffer[0];
    size_t room = buffer.size();
    bool converted = iconv(converter, &in, &inLeft, &written, &room) != static_cast<size_t>(-1);
    iconv_close(converter);
    if (converted) out.assign(buffer.data(), written);
    return converted;
}

namespace {

// Japanese: code page 932 (Shift-JIS), LANG_JAPANESE and SHIFTJIS_CHARSET, the face
// "ＭＳ Ｐゴシック" and the bullet "・", both in code page 932; the same bullet in
// string tables, which are UTF-8.
Language Japanese()
{
    Language japanese;
    japanese.codePage = "CP932";
    japanese.lcid = 0x0411;
    japanese.charset = 128;
    japanese.face = "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";
    japanese.bullet = "\x81\x45";
    japanese.htmlCharset = "shift_jis";
    japanese.popupBullet = "\xE3\x83\xBB";
    return japanese;
}

// `utf8` in the code page; false when it is not UTF-8 or holds a character the
// code page cannot spell (`out` is then unchanged).
bool Encode(const std::string& utf8, const std::string& codePage, std::string& out)
{
    return ConvertText(utf8, codePage, "UTF-8", out);
}

std::string Trim(const std::string& s)
{
    size_t begin = s.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return "";
    size_t end = s.find_last_not_of(" \t\r");
    return s.substr(begin, end - begin + 1);
}

std::vector<std::string> Words(const std::string& s)
{
    std::istringstream in(s);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

struct Parser {
    Parser(HelpSource& s, std::string& e) : source(s), error(e) {}
    HelpSource& source;
    std::string& error;
    int line = 0;
    std::vector<std::string> paragraphLines;
    int paragraphLine = 0;
    bool languageDeclared = false;
    // Links, checked once every topic is known.
    std::vector<std::pair<int, std::string>> links;

    bool Fail(const std::string& message)
    {
        error = "line " + std::to_string(line) + ": " + message;
        return false;
    }

    bool ParseRuns(const std::string& text, Paragraph& paragraph)
    {
        Run run;
        auto flush = [&]() {
            if (!run.text.empty()) paragraph.runs.push_back(run);
            run.text.clear();
        };
        for (size_t i = 0; i < text.size(); ++i) {
            char c = text[i];
            if (c == '\\' && i + 1 < text.size()) {
                run.text += text[++i];
            } else if (c == '*') {
                flush();
                run.bold = !run.bold;
            } else if (c == '{') {
                size_t close = text.find('}', i);
                if (close == std::string::npos) return Fail("a link without '}'");
                std::vector<std::string> words = Words(text.substr(i + 1, close - i - 1));
                if (words.size() < 3 || (words[0] != "popup" && words[0] != "jump")) {
                    return Fail("a link is {popup NAME text} or {jump NAME text}");
                }
                flush();
                Run link;
                link.link = words[0] == "popup" ? LinkKind::Popup : LinkKind::Jump;
                link.target = words[1];
                for (size_t w = 2; w < words.size(); ++w) link.text += (w > 2 ? " " : "") + words[w];
                paragraph.runs.push_back(link);
                links.emplace_back(line, words[1]);
                i = close;
            } else {
                run.text += c;
            }
        }
        if (run.bold) return Fail("'*' without its closing '*'");
        flush();
        return true;
    }

    bool EndParagraph()
    {
        if (paragraphLines.empty()) return true;
        int saved = line;
        line = paragraphLine;
        std::string text;
        for (const std::string& l : paragraphLines) text += (text.empty() ? "" : " ") + l;
        paragraphLines.clear();
        if (source.topics.empty()) return Fail("text before the first .topic");
        Paragraph paragraph;
        if (text.compare(0, 2, "- ") == 0) {
            paragraph.style = ParagraphStyle::Bullet;
            text = text.substr(2);
        }
        if (!ParseRuns(text, paragraph)) return false;
        source.topics.back().paragraphs.push_back(paragraph);
        line = saved;
        return true;
    }

    bool Directive(const std::string& text)
    {
        size_t space = text.find(' ');
        std::string name = text.substr(0, space);
        std::string rest = space == std::string::npos ? "" : Trim(text.substr(space));
        if (name == ".language") {
            if (languageDeclared || !source.topics.empty()) {
                return Fail(".language must come once, before the first .topic");
            }
            if (rest != "ja") return Fail("unknown language '" + rest + "' (known: ja)");
            source.language = Japanese();
            languageDeclared = true;
        } else if (name == ".title") {
            source.title = rest;
        } else if (name == ".copyright") {
            source.copyright = rest;
        } else if (name == ".topic") {
            std::vector<std::string> words = Words(rest);
            if (words.empty() || !IsValidContextName(words[0])) {
                return Fail("a topic needs a context string of letters, digits, '_' and '.'");
            }
            Topic topic;
            topic.name = words[0];
            for (size_t w = 1; w < words.size(); ++w) {
                if (words[w] == "contents") {
                    topic.contents = true;
                    continue;
                }
                if (words[w] == "popup") {
                    topic.popup = true;
                    continue;
                }
                char* end = nullptr;
                unsigned long number = std::strtoul(words[w].c_str(), &end, 10);
                if (*end != '\0' || words[w].empty() || number > 0xFFFFFFFFul) {
                    return Fail("'" + words[w] + "' is not a context number, 'contents' or 'popup'");
                }
                topic.numbers.push_back(static_cast<uint32_t>(number));
            }
            source.topics.push_back(topic);
        } else if (name == ".heading") {
            if (source.topics.empty()) return Fail(".heading before the first .topic");
            Topic& topic = source.topics.back();
            if (!topic.title.empty() || !topic.paragraphs.empty()) return Fail(".heading must follow .topic");
            if (rest.empty()) return Fail("an empty heading");
            topic.title = rest;
            Paragraph heading;
            heading.style = ParagraphStyle::Heading;
            Run run;
            run.text = rest;
            heading.runs.push_back(run);
            topic.paragraphs.push_back(heading);
        } else {
            return Fail("unknown directive " + name);
        }
        return true;
    }

    bool Line(const std::string& raw)
    {
        bool ascii = true;
        for (unsigned char c : raw) ascii = ascii && c < 0x80;
        std::string encoded;
        if (!ascii && source.language.codePage.empty()) {
            return Fail("only ASCII text is accepted unless a .language allows more");
        }
        if (!ascii && !Encode(raw, source.language.codePage, encoded)) {
            return Fail("text that is not UTF-8 or that " + source.language.codePage + " cannot spell");
        }
        std::string text = Trim(raw);
        if (!raw.empty() && raw[0] == '#') return true;
        if (text.empty()) return EndParagraph();
        if (raw[0] == '.') {
            return EndParagraph() && Directive(text);
        }
        if (paragraphLines.empty()) paragraphLine = line;
        paragraphLines.push_back(text);
        return true;
    }

    bool Check()
    {
        std::set<std::string> names;
        std::set<int32_t> hashes;
        std::set<uint32_t> numbers;
        int contents = 0;
        for (const Topic& topic : source.topics) {
            line = 0;
            if (!names.insert(topic.name).second) return Fail("topic " + topic.name + " is defined twice");
            if (!hashes.insert(ContextHash(topic.name)).second) {
                return Fail("the context string " + topic.name + " hashes like another one");
            }
            for (uint32_t n : topic.numbers) {
                if (!numbers.insert(n).second) return Fail("context number " + std::to_string(n) + " is used twice");
            }
            if (topic.title.empty()) return Fail("topic " + topic.name + " has no .heading");
            if (topic.paragraphs.size() < 2) return Fail("topic " + topic.name + " has no text");
            if (topic.popup && topic.numbers.empty()) {
                return Fail("the pop-up topic " + topic.name + " has no context number for its string");
            }
            contents += topic.contents;
        }
        if (contents != 1) return Fail("exactly one topic must be marked 'contents'");
        for (const auto& link : links) {
            line = link.first;
            if (!names.count(link.second)) return Fail("link to unknown topic " + link.second);
        }
        if (source.title.empty()) return Fail("no .title");
        return true;
    }

    // The text is read as UTF-8, where no byte of a character is '*', '{', '}' or
    // '\', and changes code page only once it is read: in code page 932 the second
    // byte of many characters is one of them. Every line was checked against the
    // code page as it was read. English text is ASCII and stays as it is.
    void EncodeText()
    {
        if (source.language.codePage.empty()) return;
        auto encode = [this](std::string& text) { Encode(text, source.language.codePage, text); };
        encode(source.title);
        encode(source.copyright);
        for (Topic& topic : source.topics) {
            encode(topic.title);
            for (Paragraph& paragraph : topic.paragraphs) {
                for (Run& run : paragraph.runs) encode(run.text);
            }
        }
    }
};

}  // namespace

bool ParseHelpSource(const std::string& text, HelpSource& source, std::string& error)
{
    source = HelpSource();
    Parser parser(source, error);
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        ++parser.line;
        if (!parser.Line(l)) return false;
    }
    if (!parser.EndParagraph() || !parser.Check()) return false;
    parser.EncodeText();
    return true;
}

}  // namespace hlp
