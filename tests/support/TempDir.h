// A fresh folder under the system's temporary folder, removed with its
// contents when the test ends.
#pragma once

#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder with a trailing separator, and a path inside it.
    const std::string& path() const { return dir; }
    std::string file(const std::string& name) const { return dir + name; }

private:
    std::string dir;
};

// Whole-file helpers for tests.
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);
