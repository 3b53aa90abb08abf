// Temporary directories and files that are removed again, also after a failure.
#pragma once
#include <windows.h>
#include <string>

class TempDir {
public:
    // A new empty directory under the system's temporary directory; prefix may hold
    // any text of the ANSI code page (double-byte characters included).
    explicit TempDir(const std::string& prefix = "kvt");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    // Path of name inside the directory.
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }
    // Writes a file of the given contents; returns its path.
    std::string WriteFile(const std::string& name, const std::string& contents) const;
    // Makes a subdirectory; returns its path.
    std::string MakeDir(const std::string& name) const;

private:
    std::string path_;
};

// Removes a directory and everything below it.
void RemoveTree(const std::string& path);

// The whole contents of a file ("" when it cannot be read).
std::string ReadWholeFile(const std::string& path);

// Is there a file or directory at path?
bool FileExists(const std::string& path);

// Copies source to target (overwriting); false on failure.
bool CopyFileTo(const std::string& source, const std::string& target);

// Creates the shortcut linkPath pointing at target with IShellLinkA.
HRESULT CreateShortcut(const std::string& linkPath, const std::string& target);
