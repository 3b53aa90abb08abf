// hlpc: compiles the readable help source into a WinHelp 4 help file.
// usage: hlpc <source.txt> <output.hlp>
#include "help_source.h"
#include "hlp_format.h"
#include "topic_file.h"

#include <algorithm>
#include <cstdio>
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

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: hlpc <source.txt> <output.hlp>\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << argv[1] << ": cannot be read\n";
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();

    hlp::HelpSource source;
    std::string error;
    hlp::Bytes out;
    if (!hlp::ParseHelpSource(text.str(), source, error) || !Compile(source, out, error)) {
        std::cerr << argv[1] << ": " << error << "\n";
        return 1;
    }
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (!file.flush()) {
        std::cerr << argv[2] << ": cannot be written\n";
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
