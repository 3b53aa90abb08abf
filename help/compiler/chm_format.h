// The HTML Help (.CHM) file: an ITSF container whose files are all stored
// uncompressed, the #SYSTEM file, the context map (#IVB and #STRINGS) that
// HH_HELP_CONTEXT looks numbers up in, and one HTML page per topic.
#pragma once
#include "help_source.h"
#include "hlp_format.h"

#include <cstdint>
#include <string>
#include <vector>

namespace hlp {

// ENCINT, the container's variable-length number: 7 bits a byte, most significant
// group first, the high bit set on every byte but the last.
void PutEncInt(Bytes& out, uint64_t value);

// The order of the container's directory, which readers search: byte by byte with
// ASCII letters folded to lower case (so '_' comes before every letter).
bool ChmNameLess(const std::string& a, const std::string& b);

// A file inside the container, named from its root ("/page.htm", "::DataSpace/...").
struct ChmEntry {
    std::string name;
    Bytes content;
};

// The container (ITSF version 3) of `files`, all in content section 0, with the
// language `lcid` in its headers and its directory in one 4 KiB listing chunk.
// Adds the section names and the (empty) control files of the compressed section
// that every container declares. False with a message when a name repeats or the
// directory does not fit one chunk.
bool BuildChmContainer(std::vector<ChmEntry> files, uint32_t lcid, Bytes& out, std::string& error);

// #SYSTEM, version 3: the language (its LCID and whether its code page is double-byte),
// the default topic (a page's name inside the file), the title in the file's code
// page, the compiled file's name and the compiler's.
Bytes BuildChmSystem(const std::string& defaultTopic, const std::string& title, uint32_t lcid, bool dbcs);

// The context map: #IVB is the byte count of the pairs, then (number, offset into
// #STRINGS) pairs by number; #STRINGS starts with a NUL and holds each target once,
// as a page's name inside the file ("touch_date.htm"), none across a 4 KiB block.
struct ContextAlias {
    uint32_t number;
    std::string target;
};
void BuildChmContextMap(std::vector<ContextAlias> aliases, Bytes& ivb, Bytes& strings);

// The page of a topic, stored as "/<context string>.htm".
std::string TopicPageName(const Topic& topic);
std::string TopicPage(const Topic& topic, const Language& language);

// The whole file; false with a message when it cannot be built.
bool BuildChm(const HelpSource& source, Bytes& out, std::string& error);

}  // namespace hlp
