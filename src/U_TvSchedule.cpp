#include "U_TvSchedule.h"

#include <algorithm>
#include <cstring>

#include "U_MainFunText.h"
#include "platform/ByteCursor.h"
#include "platform/Clock.h"

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
        Finish();
    } catch (const EScheduleError&) {
        // A destructor cannot report; the builder flushes before it closes.
    }
    CloseHandle(FileHandle);
}

void TScheduleObject::Close() {
    if (!HasFile()) return;
    Finish();
    bool ok = CloseHandle(FileHandle);
    FileHandle = INVALID_HANDLE_VALUE;
    if (!ok) throw EScheduleError(CannotWrite);
}

// Writes what is pending; a created file is cut where its contents end.
void TScheduleObject::Finish() {
    Flush();
    if (created &&
        (SetFilePointerEx(FileHandle, size, FILE_BEGIN) != size || !SetEndOfFile(FileHandle)))
        throw EScheduleError(CannotWrite);
}

// An existing file is written over and cut only when complete: writing over
// its pages is cheaper than cutting it to nothing and filling it again, which
// also makes ext4 write the whole file to disk at once.
void TScheduleObject::CreateScheduleFile() {
    FileHandle = CreateFileA(FileName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_NONE, OPEN_ALWAYS);
    created = true;
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
// as zeros); the names and offsets it announces are read in one go, as far as
// the file holds them.
void TScheduleObject::ReadIndex(std::string& names, std::string& offsets) {
    names.clear();
    offsets.clear();
    Seek(Header.IndexOffset);
    std::uint8_t headBytes[sizeof(TIndexHead)];
    TByteCursor head(headBytes, ReadExact(headBytes, sizeof headBytes) ? sizeof headBytes : 0);
    IndexHead.StationCount = head.I32();
    IndexHead.NamesSize = head.I32();
    if (IndexHead.NamesSize == 0) return;
    const std::int64_t left = size - position, width = OffsetWidth;
    const std::int64_t namesSize = std::clamp<std::int64_t>(IndexHead.NamesSize, 0, left);
    const std::int64_t count =
        std::clamp<std::int64_t>(IndexHead.StationCount, 0, (left - namesSize) / width);
    std::string block(std::size_t(namesSize + count * width), '\0');
    if (!ReadExact(block.data(), block.size())) return;
    TByteCursor index(block);
    names = index.Bytes(std::size_t(namesSize));
    offsets = index.Bytes(std::size_t(count * width));
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
    bool ok = SetFilePointerEx(FileHandle, position, FILE_BEGIN) == position &&
              ReadFile(FileHandle, data, DWORD(count), &done) && done == count;
    if (ok) position += std::int64_t(count);
    return ok;
}

std::vector<TStationEntry> ReadStationIndex(TScheduleObject& schedule) {
    std::vector<TStationEntry> stations;
    if (!schedule.HasFile()) return stations;
    std::string names, offsets;
    schedule.ReadIndex(names, offsets);
    // The names text follows the line rule of station texts; pair as many
    // names as there are offsets.
    const TLines lines = TextLines(names);
    const std::size_t count = std::min(lines.size(), offsets.size() / TScheduleObject::OffsetWidth);
    stations.reserve(count);
    TByteCursor offset(offsets);
    for (std::size_t i = 0; i < count; ++i)
        stations.push_back({std::string(lines[i]), offset.I32()});
    return stations;
}
