// What the builds of one update carry from one to the next, so that they skip
// the station files they have already read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/Files.h"
#include "platform/FolderWatch.h"

// Each build lists the whole folder again; a station file that has not changed
// since an earlier build read it (the folder is watched for changes) is taken
// from here instead of being read again. Holds at most capacity bytes of text;
// files beyond are read each time. It also keeps the schedule file the last
// build replaced, for the next build to write into, and deletes it when
// cleared.
class TBuildCache {
public:
    struct TEntry {
        std::uint64_t fileIndex = 0; // the file read, by its number on the volume
        std::string name;            // GBK, without the extension
        std::string text;
        unsigned build = 0;
    };

    explicit TBuildCache(std::size_t capacity = std::size_t(256) << 20);
    ~TBuildCache();
    TBuildCache(const TBuildCache&) = delete;
    TBuildCache& operator=(const TBuildCache&) = delete;

    // Starts a build over folder: forgets the files changed since the last
    // one (everything, when the folder is another or its watch failed).
    void BeginBuild(const std::string& folder);
    // The entry of fileName when that file has not changed since it was read.
    const TEntry* Find(const std::string& fileName, std::uint64_t fileIndex);
    // Takes name and text, read from fileName; keeps them when the file read
    // is the one listed and has no other name that could change it unseen.
    // text receives a buffer to read the next file into.
    const TEntry& Keep(const std::string& fileName, const platform::WIN32_FIND_DATAA& listed,
                       const platform::BY_HANDLE_FILE_INFORMATION& read, std::string name,
                       std::string& text);
    // Forgets the files this build did not meet.
    void EndBuild();
    // Keeps the file at path (the last replaced schedule) until cleared.
    void KeepSpare(std::string path);
    void Clear();
    std::size_t Size() const { return entries.size(); }

private:
    void Forget(const std::string& fileName);
    void ForgetTexts();

    std::unordered_map<std::string, TEntry> entries;
    std::unique_ptr<platform::TFolderWatch> watch;
    std::string folder;
    TEntry scratch; // a file read but not kept
    std::size_t capacity;
    std::size_t held = 0;
    unsigned builds = 0;
    std::string spare;
};
