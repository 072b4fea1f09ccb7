// The schedule file builder.
#include "schedule/U_MainFunBuild.h"

#include <cstdint>

#include "platform/AsciiCase.h"
#include "platform/CodePage.h"
#include "platform/ControlChars.h"
#include "platform/Files.h"
#include "platform/Handle.h"
#include "schedule/U_TvSchedule.h"

using namespace platform;

namespace {

// Reads a whole file into buffer. The size the file has when opened makes one
// read enough in the common case; it is still read to its end, since it may
// grow meanwhile.
void ReadStationFile(const std::string& path, std::string& buffer) {
    const THandleOwner file(
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING));
    const std::int64_t size = file.valid() ? GetFileSizeEx(file.get()) : -1;
    if (size < 0) throw EScheduleError("无法读取文件：" + path);
    buffer.resize(std::size_t(size) + 1);
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

// The index of the stations written so far: their names and offsets.
struct TIndex {
    std::string names, offsets;
};

void WriteStation(TScheduleObject& schedule, const std::string& name, const std::string& text,
                  TIndex& index) {
    schedule.SetStationName(name);
    std::int32_t offset = schedule.BeginStation();
    schedule.WriteStationText(text);
    index.names += name;
    index.names += "\r\n";
    index.offsets.append(reinterpret_cast<const char*>(&offset), sizeof offset);
}

void WriteStations(TScheduleObject& schedule, std::string folder, const std::string& mask,
                   const std::function<void()>& betweenStations) {
    if (folder.empty() || (folder.back() != '\\' && folder.back() != PathDelim))
        folder += PathDelim;
    TIndex index;
    std::string text;
    WIN32_FIND_DATAA entry;
    const TFindOwner listing(FindFirstFileNamesA(folder + mask, &entry));
    for (bool more = listing.valid(); more; more = FindNextFileA(listing.get(), &entry)) {
        if (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_VOLUME)) continue;
        std::size_t extLength = 0;
        if (!IsStationFile(entry.cFileName, extLength)) continue;
        // Whole, before its record begins.
        ReadStationFile(folder + entry.cFileName, text);
        // A character GBK cannot hold becomes "?": the station keeps its schedule.
        const std::string name = NativeToGbk(
            std::string_view(entry.cFileName).substr(0, entry.cFileName.size() - extLength));
        WriteStation(schedule, name, text, index);
        if (betweenStations) betweenStations();
    }
    schedule.WriteIndex(index.names, index.offsets);
    schedule.WriteHeader();
}

// Writes the schedule beside target with write(schedule) and puts it in
// place only when complete, so a failed build leaves the old schedule as it was.
template <class Write> void BuildBeside(const std::string& target, double buildTime, Write write) {
    // Hold the old file while the new one is written: a target that another
    // object holds (or that is read-only) fails before anything is written.
    THandleOwner old;
    if (GetFileAttributesA(target) != INVALID_FILE_ATTRIBUTES) {
        old.reset(
            CreateFileA(target, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_NONE, OPEN_EXISTING));
        if (!old.valid()) throw EScheduleError(CannotCreate);
    }
    const std::string building = target + ".new";
    try {
        TScheduleObject schedule(building, TScheduleObject::fmCreate);
        schedule.Header.BuildTime = buildTime;
        schedule.WriteHeader();
        write(schedule);
        schedule.Close();
    } catch (...) {
        DeleteFileA(building);
        throw;
    }
    if (!MoveFileReplaceA(building, target)) {
        DeleteFileA(building);
        throw EScheduleError(CannotCreate);
    }
}

} // namespace

void BuildScheduleFile(const std::string& folder, const std::string& mask,
                       const std::string& target, double buildTime,
                       const std::function<void()>& betweenStations) {
    BuildBeside(target, buildTime, [&](TScheduleObject& schedule) {
        WriteStations(schedule, folder, mask, betweenStations);
    });
}

void BuildScheduleFile(const std::vector<TStationText>& stations, const std::string& target,
                       double buildTime, const std::function<void()>& betweenStations) {
    BuildBeside(target, buildTime, [&](TScheduleObject& schedule) {
        TIndex index;
        for (const TStationText& station : stations) {
            WriteStation(schedule, station.name, station.text, index);
            if (betweenStations) betweenStations();
        }
        schedule.WriteIndex(index.names, index.offsets);
        schedule.WriteHeader();
    });
}
