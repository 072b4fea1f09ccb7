// Shared functions of the program that need no widgets: the station text rules,
// the schedule file builder and the program folder. The functions that fill
// controls live in U_MainFunGui.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Files.h"
#include "platform/FolderWatch.h"

class TScheduleObject;

// ---- Program folder ---------------------------------------------------------

// The folder that holds the program's files, with its trailing separator
// (U_MainFunDataFolder.h tells which); every file the program uses is formed
// from it. Tests point it at a temporary folder.
const std::string& ProgramFolder();
void SetProgramFolder(std::string folder);
std::string ScheduleFilePath(); // ProgramFolder() + "lastsch.sch"

// ---- Station schedule text --------------------------------------------------

// The lines of a text: a line ends at CR LF, a lone CR or a lone LF; a zero
// byte ends the text; a line end at the very end adds no empty line. The views
// point into text, which must outlive them.
using TLines = std::vector<std::string_view>;
TLines TextLines(std::string_view text);
void TextLines(std::string_view text, TLines& lines); // reuses the vector's storage

struct ScheduleRow {
    std::string Date;    // 20yy-mm-dd from the last date line above
    std::string Weekday; // the rest of that date line, trimmed
    std::string Time;    // the programme line's first 5 bytes
    std::string Title;   // the rest of it, trimmed
    std::string Line;    // the programme line as read
};

// Removes bytes of value 0x20 and below from both ends.
std::string_view Trim(std::string_view text);
// The parts of a programme line: its first 5 bytes, and the rest trimmed.
std::string_view ProgrammeTime(std::string_view line);
std::string_view ProgrammeTitle(std::string_view line);
bool IsDateLine(std::string_view line); // holds both "/" and "星期"
std::string ConvertDate(std::string_view dateText);
std::string SplitField(std::string_view text, std::string_view separator, int n);

// Reads one station's lines in order, carrying the current date and weekday
// from each date line to the programme lines below it.
class TStationRowReader {
public:
    enum TLineKind { lkDate, lkBlank, lkProgramme };
    // holdsSlash false tells that the line holds no "/", so that it cannot be
    // a date line: the search knows that without looking at each line.
    TLineKind Feed(std::string_view line, bool holdsSlash = true);
    // The row of a programme line just fed.
    ScheduleRow Row(std::string_view line) const;
    void RowInto(std::string_view line, ScheduleRow& row) const;
    // The date (converted) and weekday of the last date line fed.
    const std::string& CurrentDate() const { return date; }
    const std::string& CurrentWeekday() const { return weekday; }
    // How many date lines have been fed: rows fed under the same count share
    // their date and weekday.
    int DateLines() const { return dateLines; }

private:
    // Already converted: before the first date line it is the conversion of
    // an empty date text, "20--".
    std::string date = "20--";
    std::string weekday;
    int dateLines = 0;
};

// Every row of a station's lines, in line order.
std::vector<ScheduleRow> StationRows(const TLines& lines);

// ---- Station list snapshot --------------------------------------------------

// One (GBK name, record offset) pair per station, in list order: what a search
// worker gets of the main window's station list.
struct TStationSnapshotEntry {
    std::string Name;
    std::int32_t Offset;
};
using StationSnapshot = std::vector<TStationSnapshotEntry>;

// ---- Programme search -------------------------------------------------------

// The programme lines of one station that hold a search key, in line order,
// each with the date and weekday of its date line. Kept from station to
// station so that its storage is reused.
struct TStationMatches {
    struct TDay {
        std::string Date, Weekday; // as in ScheduleRow
    };
    struct TMatch {
        std::string_view Line; // into the station text
        std::uint32_t Day;     // index into Days
    };
    std::vector<TDay> Days; // only those of matching lines
    std::vector<TMatch> Matches;

    void Clear() {
        Days.clear();
        Matches.clear();
    }
    ScheduleRow Row(const TMatch& match) const;
};

// Tests the programme lines of one station text against key (GBK bytes): a
// line matches when the key's bytes occur in it anywhere, case distinguished,
// also from the second byte of a two-byte character. Date and blank lines are
// never tested. An empty key, or one holding CR, LF or a zero byte (which no
// line holds), matches nothing. lines is scratch storage; found receives the
// matching lines. Gives their number.
std::size_t SearchStationText(std::string_view text, std::string_view key, TLines& lines,
                              TStationMatches& found);

// Selects the station at offset, reads its text into buffer and searches it
// as SearchStationText does; the station's name is then
// schedule.StationDisplayName() and found points into buffer. false when the
// record cannot be read (a damaged file, or an object without a file): nothing
// is found then.
bool SearchScheduleStation(TScheduleObject& schedule, std::int32_t offset, std::string_view key,
                           std::string& buffer, TLines& lines, TStationMatches& found);

// ---- Schedule file builder --------------------------------------------------

// What the builds of one update carry from one to the next. Each build lists
// the whole folder again; a station file that has not changed since an
// earlier build read it (the folder is watched for changes) is taken from
// here instead of being read again. Holds at most capacity bytes of text;
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

// Packs every *.txt file of folder (listed with mask) into a new schedule file
// at target. The new file is written beside the target and takes its place
// only when complete: a build that fails leaves the old target as it was.
// Throws EScheduleError: "无法创建文件" when the target cannot be replaced or
// the new file cannot be created or written, and a message naming the file
// when a station file cannot be read. cache, when given, carries the files
// read from one build to the next.
void BuildScheduleFile(const std::string& folder, const std::string& mask,
                       const std::string& target, double buildTime, TBuildCache* cache = nullptr);

// ---- Update helpers ---------------------------------------------------------

namespace archive {
class TUnZip;
}

// Extracts every entry of archive below folder with extractor.
void ExtractArchive(archive::TUnZip& extractor, const std::string& archive, const std::string& folder);
// Deletes a folder tree outright, silently; true when it was deleted.
bool DeleteFolder(const std::string& path);
