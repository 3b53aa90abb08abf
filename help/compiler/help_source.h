// The readable help source (its format is described at the top of
// help/kelvara_help.txt, the .language directive at the top of
// help/kelvara_help_ja.txt) read into topics.
#pragma once
#include "topic_file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace hlp {

// The language of a help file and what a viewer needs to show it. The default
// is English: ASCII text, which code page 1252 spells as it is.
struct Language {
    std::string codePage;         // iconv's name of the file's code page; empty: ASCII only
    uint16_t lcid = 0;            // 0: the file has no LCID record
    uint8_t charset = 0;          // ANSI_CHARSET
    std::string face = "Arial";   // in the file's code page, like the bullet
    std::string bullet = "\x95";
    std::string htmlCharset = "windows-1252";   // the pages' charset in HTML Help
    std::string popupBullet = "- ";   // UTF-8, before bulleted items in string tables
};

struct HelpSource {
    Language language;
    std::string title;       // in the language's code page, as all text below
    std::string copyright;
    std::vector<Topic> topics;
};

// Parses the source text, UTF-8, and writes its text in the code page of its
// language: English unless ".language ja" (code page 932) comes before the first
// topic. False with "line N: ..." in `error` for a mistake: an unknown directive
// or language, a bad context string or number, a repeated name or number, a link
// to a topic that does not exist, text outside a topic, a topic without a heading
// or text, no or several contents topics, non-ASCII text in English, text that is
// not UTF-8 or that the code page cannot spell.
bool ParseHelpSource(const std::string& text, HelpSource& source, std::string& error);

// `text` from one iconv encoding into another; an empty name is ASCII, which every
// code page here and UTF-8 spell alike. False when iconv refuses the text (`out` is
// then unchanged).
bool ConvertText(const std::string& text, const std::string& to, const std::string& from, std::string& out);

}  // namespace hlp
