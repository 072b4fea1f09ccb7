// The schedule file builder.
#include "U_MainFunBuild.h"

#include <utility>

#include "U_TvSchedule.h"
#include "platform/AsciiCase.h"
#include "platform/CodePage.h"
#include "platform/ControlChars.h"
#include "platform/Files.h"
#include "platform/Handle.h"

using namespace platform;

namespace {

// Reads a whole file into buffer, and tells which file was read. The size
// the file has when opened makes one read enough in the common case; it is
// still read to its end, since it may grow meanwhile.
void ReadStationFile(const std::string& path, std::string& buffer,
                     BY_HANDLE_FILE_INFORMATION& info) {
    const THandleOwner file(
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING));
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &info))
        throw EScheduleError("无法读取文件：" + path);
    buffer.resize(std::size_t(info.nFileSize > 0 ? info.nFileSize : 0) + 1);
    std::size_t filled = 0;
    for (;;) {
        DWORD done = 0;
        if (!ReadFile(file.get(), buffer.data() + filled, DWORD(buffer.size() - filled), &done))
            throw EScheduleError("无法读取文件：" + path);
        filled += done;
        if (filled < buffer.size()) break;
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(filled);
}

// A station file's extension, from the last "." on, is ".txt" in any ASCII case.
// A name holding a control character is skipped: a CR or LF in it would split
// its line of the names text and pair every later name with the wrong record.
bool IsStationFile(const std::string& name, std::size_t& extLength) {
    std::size_t dot = name.find_last_of('.');
    extLength = dot == std::string::npos ? 0 : name.size() - dot;
    return extLength == 4 && SameTextAscii(std::string_view(name).substr(dot), ".txt") &&
           !HoldsControlChar(name);
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
    const TFindOwner listing(FindFirstFileNamesA(folder + mask, &entry));
    for (bool more = listing.valid(); more; more = FindNextFileA(listing.get(), &entry)) {
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
    THandleOwner old;
    if (GetFileAttributesA(target) != INVALID_FILE_ATTRIBUTES) {
        old.reset(
            CreateFileA(target, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_NONE, OPEN_EXISTING));
        if (!old.valid()) throw EScheduleError(CannotCreate);
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
    if (!ReplaceTarget(building, target, old.valid(), cache)) {
        DeleteFileA(building);
        throw EScheduleError(CannotCreate);
    }
}
