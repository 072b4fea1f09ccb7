#include "U_MainFunBuildCache.h"

#include <utility>
#include <vector>

using namespace platform;

TBuildCache::TBuildCache(std::size_t capacity) : capacity(capacity) {}

TBuildCache::~TBuildCache() {
    Clear();
}

void TBuildCache::BeginBuild(const std::string& path) {
    if (path != folder) {
        Clear();
        folder = path;
    }
    std::vector<std::string> changed;
    if (watch && !watch->TakeChanges(changed)) watch.reset();
    if (!watch) {
        // Whatever was read before the watch (re)started may have changed.
        ForgetTexts();
        if (capacity > 0) watch = std::make_unique<TFolderWatch>(folder);
        return;
    }
    for (const std::string& name : changed)
        Forget(name);
}

void TBuildCache::Forget(const std::string& fileName) {
    auto it = entries.find(fileName);
    if (it == entries.end()) return;
    held -= it->second.text.size();
    entries.erase(it);
}

const TBuildCache::TEntry* TBuildCache::Find(const std::string& fileName, std::uint64_t fileIndex) {
    auto it = entries.find(fileName);
    if (it == entries.end() || it->second.fileIndex != fileIndex) return nullptr;
    it->second.build = builds;
    return &it->second;
}

const TBuildCache::TEntry& TBuildCache::Keep(const std::string& fileName,
                                             const WIN32_FIND_DATAA& listed,
                                             const BY_HANDLE_FILE_INFORMATION& read,
                                             std::string name, std::string& text) {
    // A link, a file replaced since it was listed, or one with a second name
    // elsewhere can change without this folder's watch seeing it.
    const bool watched = watch && watch->Active() && read.nFileIndex == listed.nFileIndex &&
                         read.nNumberOfLinks == 1;
    Forget(fileName);
    if (!watched || held + text.size() > capacity) {
        scratch.name = std::move(name);
        scratch.text.swap(text); // the caller reads the next file into the old buffer
        return scratch;
    }
    TEntry& entry = entries[fileName];
    held += text.size();
    entry.fileIndex = read.nFileIndex;
    entry.name = std::move(name);
    entry.text = std::move(text);
    entry.build = builds;
    return entry;
}

void TBuildCache::EndBuild() {
    // Files the build did not meet are gone, or no longer station files.
    std::erase_if(entries, [this](auto& item) {
        if (item.second.build == builds) return false;
        held -= item.second.text.size();
        return true;
    });
    ++builds;
}

void TBuildCache::KeepSpare(std::string path) {
    if (!spare.empty() && spare != path) DeleteFileA(spare);
    spare = std::move(path);
}

void TBuildCache::ForgetTexts() {
    entries.clear();
    held = 0;
}

void TBuildCache::Clear() {
    ForgetTexts();
    watch.reset();
    folder.clear();
    if (!spare.empty()) DeleteFileA(std::exchange(spare, {}));
}
