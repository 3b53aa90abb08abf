// The texts of the pop-up topics (marked 'popup' in the source) as a string
// table for a resource script, which the property pages show as control pop-ups.
#pragma once
#include "help_source.h"

#include <string>

namespace hlp {

// The longest text, in the help file's code page, that the pages load: their buffer
// holds 1024 bytes with the terminating NUL.
constexpr size_t kPopupTextLimit = 1023;

// The plain text of a topic in the help file's code page: the heading, then each
// paragraph after an empty line, bold dropped, links as their text, bulleted items
// after `bullet`.
std::string PopupText(const Topic& topic, const std::string& bullet);

// "STRINGTABLE BEGIN <number>, "<text>" ... END" for every number of every pop-up
// topic, in UTF-8 and escaped for windres. False with a message when a text is
// longer than kPopupTextLimit bytes or cannot be converted.
bool BuildPopupStrings(const HelpSource& source, std::string& rc, std::string& error);

}  // namespace hlp
