// lastsch.sch: every station's schedule text packed into one file, with an
// index at its end so that the stations can be listed and any one of them read
// by seeking straight to it.
//
// Layout (little-endian): a 16-byte header (IndexOffset, 4 reserved bytes,
// BuildTime), the 8-byte empty index block of a new file at 16, station
// records from 24 on (101-byte name field, int32 length L, L text bytes), then
// the index block (StationCount, NamesSize, the names text with CR LF after
// each name, StationCount int32 record offsets).
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Files.h"

#pragma pack(push, 1)
struct TScheduleHeader {
    std::int32_t IndexOffset;
    std::uint8_t Reserved[4];
    double BuildTime; // days since 30 December 1899, local time
};
struct TIndexHead {
    std::int32_t StationCount;
    std::int32_t NamesSize;
};
#pragma pack(pop)
static_assert(sizeof(TScheduleHeader) == 16 && sizeof(TIndexHead) == 8);

// An operation on the schedule file that cannot go on; what() is the message
// shown to the user, such as "无法创建文件".
class EScheduleError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
inline constexpr char CannotCreate[] = "无法创建文件";
inline constexpr char CannotWrite[] = "无法写入文件";

class TScheduleObject {
public:
    static constexpr std::uint16_t fmOpen = 2;        // open the existing file
    static constexpr std::uint16_t fmCreate = 0xFFFF; // -1: create anew
    static constexpr int NameFieldSize = 101;
    static constexpr std::size_t HeaderSize = sizeof(TScheduleHeader);
    static constexpr std::size_t OffsetWidth = sizeof(std::int32_t); // a record offset

    // fmOpen never fails: an object whose file could not be opened simply has
    // none. fmCreate throws EScheduleError("无法创建文件") when it cannot create.
    TScheduleObject(std::string fileName, std::uint16_t mode);
    virtual ~TScheduleObject();
    TScheduleObject(const TScheduleObject&) = delete;
    TScheduleObject& operator=(const TScheduleObject&) = delete;

    void CreateScheduleFile();
    void WriteHeader();
    std::int32_t BeginStation();
    void WriteStationText(std::string_view text);
    void WriteIndex(std::string_view names, std::string_view offsets);
    void ReadIndex(std::string& names, std::string& offsets);
    // The same without copies: the index block, whose names and offsets view
    // the parts of it that the file holds.
    struct TIndexBlock {
        std::unique_ptr<char[]> bytes;
        std::string_view names, offsets;
    };
    TIndexBlock ReadIndexBlock();
    // false when the record lies outside the file (a damaged file): the name
    // is then empty and ReadStationText gives an empty text and false.
    bool SelectStation(std::int32_t offset);
    // false when the record's text cannot be read whole; text is then empty.
    bool ReadStationText(std::string& text);
    // SelectStation and ReadStationText at once, as a search over every
    // station wants them, into a buffer kept from call to call. text views
    // the record's text until the next call; it is empty when the call fails.
    bool ReadStation(std::int32_t offset, std::string_view& text);

    // Writes out what is pending and closes the file; throws when the
    // writes fail (a full disk), which the destructor could not report.
    void Close();

    bool HasFile() const { return FileHandle != platform::INVALID_HANDLE_VALUE; }
    // StationName up to its first zero byte, or all 101 bytes.
    std::string StationDisplayName() const;
    // Fills StationName: up to 100 bytes and a zero byte, or exactly 101 bytes;
    // a longer name keeps its first 101 bytes.
    void SetStationName(std::string_view name);

    TScheduleHeader Header{};
    TIndexHead IndexHead{};
    char StationName[NameFieldSize]{};
    platform::HANDLE FileHandle = platform::INVALID_HANDLE_VALUE;
    std::string FileName;
    bool Appended = false;

private:
    // Writes are gathered and written in large blocks; any seek, read or close
    // writes them out first.
    void Write(const void* data, std::size_t size);
    void Flush();
    void Seek(std::int64_t position);
    bool ReadExact(void* data, std::size_t size);

    // The longest file tail after the index offset read in one go: far more
    // than the index of any real schedule (100,000 stations take some 2 MB).
    static constexpr std::int64_t MaxIndexRead = 4 << 20;

    std::int64_t position = 0; // the file position as the operations see it
    std::int64_t size = 0;     // the file's length including pending writes
    bool selected = false;     // the last SelectStation found its record
    std::string pending;
    std::int64_t pendingAt = 0;
    std::string record; // the text ReadStation read last
};

struct TStationEntry {
    std::string Name; // GBK bytes
    std::int32_t Offset;
};

// The (station name, record offset) pairs of the file's index, in file order,
// as one read of the index block gives them: the names are the lines of its
// names text (TextLines), views into that block, which the list holds.
class TStationList {
public:
    struct TStation {
        std::string_view Name; // GBK bytes
        std::int32_t Offset;
    };
    class TIterator {
    public:
        TIterator(const TStationList& list, std::size_t i) : list(&list), i(i) {}
        TStation operator*() const { return (*list)[i]; }
        TIterator& operator++() { return ++i, *this; }
        bool operator!=(const TIterator& other) const { return i != other.i; }

    private:
        const TStationList* list;
        std::size_t i;
    };

    std::size_t size() const { return count; }
    bool empty() const { return count == 0; }
    TStation operator[](std::size_t i) const { return {Name(i), Offset(i)}; }
    TIterator begin() const { return {*this, 0}; }
    TIterator end() const { return {*this, count}; }

private:
    friend TStationList ListStations(TScheduleObject& schedule);

    std::string_view Name(std::size_t i) const { return lines[i]; }
    std::int32_t Offset(std::size_t i) const {
        const auto* at = reinterpret_cast<const std::uint8_t*>(index.offsets.data()) +
                         i * TScheduleObject::OffsetWidth;
        return std::int32_t(std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 |
                            std::uint32_t(at[2]) << 16 | std::uint32_t(at[3]) << 24);
    }

    TScheduleObject::TIndexBlock index;
    std::vector<std::string_view> lines;
    std::size_t count = 0;
};

// A damaged index gives the pairs it can make: as many as there are both
// names and offsets.
TStationList ListStations(TScheduleObject& schedule);

// The same pairs, each name a string of its own, for callers that keep them.
std::vector<TStationEntry> ReadStationIndex(TScheduleObject& schedule);
