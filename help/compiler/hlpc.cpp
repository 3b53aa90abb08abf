// hlpc: compiles the readable help source into a help file.
// usage: hlpc <source.txt> <output.hlp>          a WinHelp 4 file
//        hlpc <source.txt> <output.chm>          an HTML Help file (by the extension,
//                                                in any letter case)
//        hlpc --popups <source.txt> <output.rc>  the string table of the pop-up
//                                                topics, for a resource script
#include "chm_format.h"
#include "help_source.h"
#include "hlp_format.h"
#include "popup_strings.h"
#include "topic_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

bool Compile(const hlp::HelpSource& source, hlp::Bytes& out, std::string& error)
{
    hlp::Bytes topicFile;
    std::vector<uint32_t> offsets;
    if (!hlp::BuildTopicFile(source.topics, source.language.bullet, topicFile, offsets, error)) return false;

    std::vector<hlp::BTreeEntry> contexts;
    std::vector<std::pair<uint32_t, std::string>> titles;
    std::vector<hlp::ContextNumber> numbers;
    uint32_t contents = hlp::kNone;
    for (size_t i = 0; i < source.topics.size(); ++i) {
        const hlp::Topic& topic = source.topics[i];
        hlp::BTreeEntry entry;
        hlp::PutDword(entry.key, static_cast<uint32_t>(hlp::ContextHash(topic.name)));
        hlp::PutDword(entry.data, offsets[i]);
        contexts.push_back(entry);
        titles.emplace_back(offsets[i], topic.title);
        for (uint32_t n : topic.numbers) numbers.push_back({n, offsets[i]});
        if (topic.contents) contents = offsets[i];
    }
    // |CONTEXT is ordered by the hash as a signed number.
    std::sort(contexts.begin(), contexts.end(), [](const hlp::BTreeEntry& a, const hlp::BTreeEntry& b) {
        auto value = [](const hlp::Bytes& k) {
            return static_cast<int32_t>(k[0] | k[1] << 8 | k[2] << 16 | static_cast<uint32_t>(k[3]) << 24);
        };
        return value(a.key) < value(b.key);
    });
    std::sort(titles.begin(), titles.end());
    std::vector<hlp::BTreeEntry> titleEntries;
    for (const auto& title : titles) {
        hlp::BTreeEntry entry;
        hlp::PutDword(entry.key, title.first);
        hlp::PutStringZ(entry.data, title.second);
        titleEntries.push_back(entry);
    }

    hlp::Bytes contextTree, titleTree;
    if (!hlp::BuildBTree(hlp::kContextTree, contexts, contextTree) ||
        !hlp::BuildBTree(hlp::kTitleTree, titleEntries, titleTree)) {
        error = "a B+ tree entry does not fit into a page";
        return false;
    }

    hlp::HelpFile file;
    const hlp::Language& language = source.language;
    file.AddFile("|SYSTEM", hlp::BuildSystemFile(source.title, source.copyright, contents, language.lcid,
                                                 language.charset));
    file.AddFile("|TOPIC", topicFile);
    file.AddFile("|FONT", hlp::BuildTopicFonts(language.face));
    file.AddFile("|CONTEXT", contextTree);
    file.AddFile("|CTXOMAP", hlp::BuildContextMap(numbers));
    file.AddFile("|TTLBTREE", titleTree);
    if (!file.Build(out)) {
        error = "the internal directory cannot be built";
        return false;
    }
    return true;
}

bool EndsWith(const std::string& name, const std::string& extension)
{
    if (name.size() < extension.size()) return false;
    return std::equal(extension.begin(), extension.end(), name.end() - extension.size(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                                  std::tolower(static_cast<unsigned char>(b)); });
}

}  // namespace

int main(int argc, char** argv)
{
    const bool popups = argc == 4 && std::strcmp(argv[1], "--popups") == 0;
    if (argc != 3 && !popups) {
        std::cerr << "usage: hlpc <source.txt> <output.hlp|output.chm>\n"
                     "       hlpc --popups <source.txt> <output.rc>\n";
        return 2;
    }
    const char* sourceName = argv[argc - 2];
    const char* outputName = argv[argc - 1];
    std::ifstream in(sourceName, std::ios::binary);
    if (!in) {
        std::cerr << sourceName << ": cannot be read\n";
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();

    hlp::HelpSource source;
    std::string error;
    hlp::Bytes out;
    bool built = hlp::ParseHelpSource(text.str(), source, error);
    if (built && popups) {
        std::string rc;
        built = hlp::BuildPopupStrings(source, rc, error);
        out.assign(rc.begin(), rc.end());
    } else if (built && EndsWith(outputName, ".chm")) {
        built = hlp::BuildChm(source, out, error);
    } else if (built) {
        built = Compile(source, out, error);
    }
    if (!built) {
        std::cerr << sourceName << ": " << error << "\n";
        return 1;
    }
    std::ofstream file(outputName, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (!file.flush()) {
        std::cerr << outputName << ": cannot be written\n";
        std::remove(outputName);
        return 1;
    }
    return 0;
}
