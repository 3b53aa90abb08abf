// Damaged copies of a PE library and of a shell link, made by a fixed-seed random
// generator so that every run tests the same files.
#pragma once
#include <string>
#include <vector>

struct DamagedFile {
    std::string description;  // what was damaged, for failure messages
    std::string contents;
};

// Copies of a PE library: truncated at many lengths (through the headers, the
// section table and the resource tree), random bytes in the headers and in the
// resource section, resource directory and data entries pointing outside the file,
// and huge counts and sizes in the headers, the resource tree and the resources
// themselves (icon groups, icon and bitmap headers). Empty when image is no PE file
// with a resource section.
std::vector<DamagedFile> DamageLibrary(const std::string& image, unsigned seed);

// Copies of a shell link: truncated, random bytes, and huge sizes in its header,
// item list, link information and strings.
std::vector<DamagedFile> DamageShortcut(const std::string& link, unsigned seed);
