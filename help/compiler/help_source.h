// The readable help source (its format is described at the top of
// help/kelvara_help.txt) read into topics.
#pragma once
#include "topic_file.h"

#include <string>
#include <vector>

namespace hlp {

struct HelpSource {
    std::string title;
    std::string copyright;
    std::vector<Topic> topics;
};

// Parses the source text. False with "line N: ..." in `error` for a mistake:
// an unknown directive, a bad context string or number, a repeated name or
// number, a link to a topic that does not exist, text outside a topic, a topic
// without a heading or text, no or several contents topics, non-ASCII text.
bool ParseHelpSource(const std::string& text, HelpSource& source, std::string& error);

}  // namespace hlp
