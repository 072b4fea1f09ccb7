#include "schedule/U_TvSchedule.h"

#include <algorithm>
#include <cstring>

#include "platform/ByteCursor.h"
#include "platform/Clock.h"
#include "schedule/U_MainFunText.h"

using namespace platform;

namespace {

constexpr std::size_t WriteBlock = 1 << 20;

} // namespace

TScheduleObject::TScheduleObject(std::string fileName, std::uint16_t mode)
    : FileName(std::move(fileName)) {
    if (mode == fmCreate) {
        CreateScheduleFile();
        return;
    }
    FileHandle =
        CreateFileA(FileName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_NONE, OPEN_EXISTING);
    if (!HasFile()) return;
    size = std::max<std::int64_t>(GetFileSizeEx(FileHandle), 0);
    if (!ReadExact(&Header, sizeof Header)) Header = {};
}

TScheduleObject::~TScheduleObject() {
    if (!HasFile()) return;
    try {
        Flush();
    } catch (const EScheduleError&) {
        // A destructor cannot report; the builder flushes before it closes.
    }
    CloseHandle(FileHandle);
}

void TScheduleObject::Close() {
    if (!HasFile()) return;
    Flush();
    bool ok = CloseHandle(FileHandle);
    FileHandle = INVALID_HANDLE_VALUE;
    if (!ok) throw EScheduleError(CannotWrite);
}

void TScheduleObject::CreateScheduleFile() {
    FileHandle =
        CreateFileA(FileName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_NONE, CREATE_ALWAYS);
    if (!HasFile()) throw EScheduleError(CannotCreate);
    size = position = 0;
    Header.IndexOffset = std::int32_t(HeaderSize); // the empty index block right after it
    Header.BuildTime = Now();
    IndexHead = {};
    Write(&Header, sizeof Header);
    Write(&IndexHead, sizeof IndexHead);
}

void TScheduleObject::WriteHeader() {
    Seek(0);
    Write(&Header, sizeof Header);
}

std::int32_t TScheduleObject::BeginStation() {
    Appended = true;
    Seek(size);
    auto offset = std::int32_t(position);
    Write(StationName, sizeof StationName);
    return offset;
}

void TScheduleObject::WriteStationText(std::string_view text) {
    auto length = std::int32_t(text.size());
    Write(&length, sizeof length);
    Write(text.data(), text.size());
}

void TScheduleObject::WriteIndex(std::string_view names, std::string_view offsets) {
    if (Appended) {
        Seek(size);
        Header.IndexOffset = std::int32_t(position);
    } else {
        Seek(Header.IndexOffset);
    }
    IndexHead.NamesSize = std::int32_t(names.size());
    IndexHead.StationCount = std::int32_t(offsets.size() / OffsetWidth);
    Write(&IndexHead, sizeof IndexHead);
    Write(names.data(), names.size());
    Write(offsets.data(), offsets.size());
}

// A damaged file may claim any sizes: read only what the file holds, so that
// nothing is read from outside it and no allocation exceeds its length. The
// head is read through the cursor (a head cut off by the end of the file reads
// as zeros); the names and offsets it announces are taken as far as the file
// holds them. The index ends the files the builder writes, so one read of the
// file's tail mostly takes head, names and offsets at once.
TScheduleObject::TIndexBlock TScheduleObject::ReadIndexBlock() {
    TIndexBlock index;
    Seek(Header.IndexOffset);
    const std::int64_t tail = position >= 0 ? size - position : 0;
    const auto headSize = std::int64_t(sizeof(TIndexHead));
    const auto have = std::size_t(tail > headSize && tail <= MaxIndexRead ? tail : headSize);
    index.bytes = std::make_unique_for_overwrite<char[]>(have);
    const bool read = ReadExact(index.bytes.get(), have);
    TByteCursor head(std::string_view(index.bytes.get(), read ? have : 0));
    IndexHead.StationCount = head.I32();
    IndexHead.NamesSize = head.I32();
    if (IndexHead.NamesSize == 0) return index;
    const std::int64_t left = tail - headSize, width = OffsetWidth;
    const std::int64_t namesSize = std::clamp<std::int64_t>(IndexHead.NamesSize, 0, left);
    const std::int64_t count =
        std::clamp<std::int64_t>(IndexHead.StationCount, 0, (left - namesSize) / width);
    const auto need = std::size_t(headSize + namesSize + count * width);
    if (have < need) { // a tail too long to take whole: the rest after the head
        auto whole = std::make_unique_for_overwrite<char[]>(need);
        std::memcpy(whole.get(), index.bytes.get(), have);
        index.bytes = std::move(whole);
        if (!ReadExact(index.bytes.get() + have, need - have)) return index;
    }
    const char* names = index.bytes.get() + headSize;
    index.names = std::string_view(names, std::size_t(namesSize));
    index.offsets = std::string_view(names + namesSize, std::size_t(count * width));
    return index;
}

void TScheduleObject::ReadIndex(std::string& names, std::string& offsets) {
    const TIndexBlock index = ReadIndexBlock();
    names = index.names;
    offsets = index.offsets;
}

bool TScheduleObject::SelectStation(std::int32_t offset) {
    std::memset(StationName, 0, sizeof StationName);
    selected = offset >= 0 && offset + std::int64_t(sizeof StationName) <= size;
    if (!selected) return false;
    Seek(offset);
    selected = ReadExact(StationName, sizeof StationName);
    if (!selected) std::memset(StationName, 0, sizeof StationName);
    return selected;
}

bool TScheduleObject::ReadStationText(std::string& text) {
    text.clear();
    if (!selected) return false;
    selected = false; // the text belongs to the record just selected, once
    std::int32_t length = 0;
    if (!ReadExact(&length, sizeof length)) return false;
    if (length < 0 || length > size - position) return false;
    text.resize(std::size_t(length));
    if (!ReadExact(text.data(), text.size())) {
        text.clear();
        return false;
    }
    return true;
}

bool TScheduleObject::ReadStation(std::int32_t offset, std::string_view& text) {
    const bool read = SelectStation(offset) && ReadStationText(record);
    text = read ? std::string_view(record) : std::string_view();
    return read;
}

std::string TScheduleObject::StationDisplayName() const {
    const void* zero = std::memchr(StationName, 0, sizeof StationName);
    std::size_t n =
        zero ? std::size_t(static_cast<const char*>(zero) - StationName) : sizeof StationName;
    return std::string(StationName, n);
}

void TScheduleObject::SetStationName(std::string_view name) {
    std::memset(StationName, 0, sizeof StationName);
    std::memcpy(StationName, name.data(), std::min(name.size(), sizeof StationName));
}

void TScheduleObject::Write(const void* data, std::size_t count) {
    if (!HasFile()) throw EScheduleError(CannotWrite);
    if (pending.empty()) pendingAt = position;
    pending.append(static_cast<const char*>(data), count);
    position += std::int64_t(count);
    size = std::max(size, position);
    if (pending.size() >= WriteBlock) Flush();
}

void TScheduleObject::Flush() {
    if (pending.empty()) return;
    DWORD done = 0;
    bool ok = SetFilePointerEx(FileHandle, pendingAt, FILE_BEGIN) == pendingAt &&
              WriteFile(FileHandle, pending.data(), DWORD(pending.size()), &done) &&
              done == pending.size();
    pending.clear();
    if (!ok) throw EScheduleError(CannotWrite);
}

void TScheduleObject::Seek(std::int64_t to) {
    if (to != position && !pending.empty()) Flush();
    position = to;
}

bool TScheduleObject::ReadExact(void* data, std::size_t count) {
    if (!HasFile() || position < 0 || position + std::int64_t(count) > size) return false;
    Flush();
    DWORD done = 0;
    bool ok = ReadFileAt(FileHandle, position, data, DWORD(count), &done) && done == count;
    if (ok) position += std::int64_t(count);
    return ok;
}

TStationList ListStations(TScheduleObject& schedule) {
    TStationList list;
    if (!schedule.HasFile()) return list;
    list.index = schedule.ReadIndexBlock();
    TextLines(list.index.names, list.lines);
    // Pair as many names as there are offsets.
    const std::size_t offsets = list.index.offsets.size() / TScheduleObject::OffsetWidth;
    list.count = std::min(list.lines.size(), offsets);
    return list;
}

std::vector<TStationEntry> ReadStationIndex(TScheduleObject& schedule) {
    const TStationList list = ListStations(schedule);
    std::vector<TStationEntry> stations;
    stations.reserve(list.size());
    for (const TStationList::TStation s : list)
        stations.push_back({std::string(s.Name), s.Offset});
    return stations;
}
