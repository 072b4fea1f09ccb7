// The schedule file builder, and the cache that lets the builds of one update
// skip station files they have already read.
#include <utility>

#include "U_MainFun.h"
#include "U_TvSchedule.h"
#include "platform/CodePage.h"
#include "platform/Files.h"

using namespace platform;

// ---- Build cache ------------------------------------------------------------

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

// ---- Schedule file builder --------------------------------------------------

namespace {

const char* const CannotCreate = "无法创建文件";

// Closes a handle when the build ends, however it ends.
struct HandleOwner {
    HANDLE handle = INVALID_HANDLE_VALUE;
    ~HandleOwner() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

struct FindOwner {
    HFIND find = nullptr;
    ~FindOwner() { FindClose(find); }
};

// Reads a whole file into buffer, and tells which file was read. The size
// the file has when opened makes one read enough in the common case; it is
// still read to its end, since it may grow meanwhile.
void ReadStationFile(const std::string& path, std::string& buffer,
                     BY_HANDLE_FILE_INFORMATION& info) {
    HandleOwner file{
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING)};
    if (file.handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file.handle, &info))
        throw EScheduleError("无法读取文件：" + path);
    buffer.resize(std::size_t(info.nFileSize > 0 ? info.nFileSize : 0) + 1);
    std::size_t filled = 0;
    for (;;) {
        DWORD done = 0;
        if (!ReadFile(file.handle, buffer.data() + filled, DWORD(buffer.size() - filled), &done))
            throw EScheduleError("无法读取文件：" + path);
        filled += done;
        if (filled < buffer.size()) break;
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(filled);
}

// The extension from the last "." on, lower-cased in ASCII.
bool IsStationFile(const std::string& name, std::size_t& extLength) {
    std::size_t dot = name.find_last_of('.');
    extLength = dot == std::string::npos ? 0 : name.size() - dot;
    if (extLength != 4) return false;
    std::string ext = name.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return ext == ".txt";
}

// The station's name and text: from the cache when the file is unchanged
// since it was cached, else read from disk.
const TBuildCache::TEntry& StationFile(const std::string& folder, const WIN32_FIND_DATAA& entry,
                                       std::size_t extLength, TBuildCache& cache,
                                       std::string& text) {
    if (const TBuildCache::TEntry* cached = cache.Find(entry.cFileName, entry.nFileIndex))
        return *cached;
    BY_HANDLE_FILE_INFORMATION info;
    ReadStationFile(folder + entry.cFileName, text, info);
    // A character GBK cannot hold becomes "?": the station keeps its schedule.
    std::string name = NativeToGbk(
        std::string_view(entry.cFileName).substr(0, entry.cFileName.size() - extLength));
    return cache.Keep(entry.cFileName, entry, info, std::move(name), text);
}

void WriteStations(TScheduleObject& schedule, std::string folder, const std::string& mask,
                   TBuildCache& cache) {
    if (folder.empty() || (folder.back() != '\\' && folder.back() != PathDelim))
        folder += PathDelim;
    cache.BeginBuild(folder);
    std::string names, offsets, text;
    WIN32_FIND_DATAA entry;
    FindOwner listing{FindFirstFileNamesA(folder + mask, &entry)};
    for (bool more = listing.find != nullptr; more; more = FindNextFileA(listing.find, &entry)) {
        if (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_VOLUME)) continue;
        std::size_t extLength = 0;
        if (!IsStationFile(entry.cFileName, extLength)) continue;
        // Whole, before its record begins.
        const TBuildCache::TEntry& station = StationFile(folder, entry, extLength, cache, text);
        schedule.SetStationName(station.name);
        std::int32_t offset = schedule.BeginStation();
        schedule.WriteStationText(station.text);
        names += station.name;
        names += "\r\n";
        offsets.append(reinterpret_cast<const char*>(&offset), sizeof offset);
    }
    schedule.WriteIndex(names, offsets);
    schedule.WriteHeader();
}

// Puts the new file in the target's place. Within an update the old file is
// kept under the new one's name for the next build to write into: file
// systems such as ext4 find a fresh file for each build slower and slower
// while the files of the builds before are recently deleted.
bool ReplaceTarget(const std::string& building, const std::string& target, bool hadTarget,
                   TBuildCache* cache) {
    if (cache && hadTarget && ExchangeFilesA(building, target)) {
        cache->KeepSpare(building);
        return true;
    }
    return MoveFileReplaceA(building, target);
}

} // namespace

void BuildScheduleFile(const std::string& folder, const std::string& mask,
                       const std::string& target, double buildTime, TBuildCache* cache) {
    // Hold the old file while the new one is written: a target that another
    // object holds (or that is read-only) fails before anything is written.
    HandleOwner old;
    if (GetFileAttributesA(target) != INVALID_FILE_ATTRIBUTES) {
        old.handle =
            CreateFileA(target, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_NONE, OPEN_EXISTING);
        if (old.handle == INVALID_HANDLE_VALUE) throw EScheduleError(CannotCreate);
    }
    // The new file is written beside the target and replaces it only when
    // complete, so a failed build leaves the old schedule as it was.
    const std::string building = target + ".new";
    TBuildCache once(0); // a build without a cache keeps nothing
    TBuildCache& stations = cache ? *cache : once;
    try {
        TScheduleObject schedule(building, TScheduleObject::fmCreate);
        schedule.Header.BuildTime = buildTime;
        schedule.WriteHeader();
        WriteStations(schedule, folder, mask, stations);
        schedule.Close();
    } catch (...) {
        DeleteFileA(building);
        throw;
    }
    stations.EndBuild();
    if (!ReplaceTarget(building, target, old.handle != INVALID_HANDLE_VALUE, cache)) {
        DeleteFileA(building);
        throw EScheduleError(CannotCreate);
    }
}
