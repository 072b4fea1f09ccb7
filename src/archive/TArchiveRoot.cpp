#include "archive/TArchiveRoot.h"

#include <algorithm>
#include <vector>

#include "platform/AsciiCase.h"
#include "platform/Handle.h"

namespace archive {

using namespace platform;

namespace {

// Both the end-record scan and the local-header search read at most this much.
constexpr std::int64_t ScanChunk = 32768;

std::string Backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string LowerExtension(const std::string& path) {
    std::string::size_type dot = path.find_last_of(".\\:");
    if (dot == std::string::npos || path[dot] != '.') return "";
    return AsciiLower(std::string_view(path).substr(dot));
}

// "PK" followed by any pair but those that mark something other than a plain ZIP.
bool IsPlainZipStart(const std::uint8_t* b) {
    if (b[0] != 'P' || b[1] != 'K') return false;
    return std::find(std::begin(OtherPkSigs), std::end(OtherPkSigs), Sig(b)) ==
           std::end(OtherPkSigs);
}

} // namespace

TArchiveRoot::TArchiveRoot(QObject* parent) : QObject(parent) {}

std::size_t TArchiveRoot::ReadAt(HANDLE file, std::int64_t offset, void* buffer,
                                 std::size_t count) {
    DWORD done = 0;
    if (offset < 0 || !ReadFileAt(file, offset, buffer, DWORD(count), &done)) return 0;
    return done;
}

void TArchiveRoot::SetArchiveFile(const std::string& path) {
    if (path.empty() || !FileExists(path)) {
        fArcType = atNA;
        fArchiveFile.clear();
        return;
    }
    fArchiveFile = Backslashed(path);
    const THandleOwner file(
        CreateFileA(fArchiveFile, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    if (!file.valid()) {
        fArcType = atNA;
        return;
    }
    archiveSize = GetFileSizeEx(file.get());
    headerState = {};
    directoryPosition = -1;
    endRecordPosition = -1;
    endRecord = {};
    fArcType = Detect(file.get());
    if (fArcType == atZip && LowerExtension(fArchiveFile) == ".jar") fArcType = atJar;
    if (directoryPosition == -1) directoryPosition = 0;
}

TArcType TArchiveRoot::Detect(HANDLE file) {
    if (archiveSize < 20) return atUnknown;
    std::uint8_t head[4] = {};
    if (ReadAt(file, 0, head, sizeof head) < sizeof head) return atUnknown;
    if (IsPlainZipStart(head)) {
        std::int64_t pos = LocateEndRecord(file);
        directoryPosition = pos;
        // No end record: the walk starts at the first byte and goes by local headers.
        if (!headerState.Contains(htLocal) && pos == 0) headerState.Include(htLocal);
        return atZip;
    }
    // Spanned and multi-volume sets are not read.
    if (Sig(head) == SpanningSig) return atZipDS;
    if (Sig(head) == CentralHeaderSig) return atZipMV;
    // Anything else: an archive may still end in a ZIP central directory
    // (a self-extractor, or data put in front of a ZIP).
    std::int64_t pos = LocateEndRecord(file);
    if (headerState.Contains(htCentral)) {
        directoryPosition = pos;
        return head[0] == 'M' && head[1] == 'Z' ? atZipExe : atZip;
    }
    headerState = {};
    return atUnknown;
}

std::int64_t TArchiveRoot::LocateEndRecord(HANDLE file) {
    const std::int64_t scanLength = archiveSize > ScanChunk ? ScanChunk : archiveSize - 1;
    headerState = {};
    if (scanLength < 4) return 0;
    const std::int64_t endPos = FindEndRecord(file, scanLength);
    if (endPos < 0) return 0;

    headerState = {htEnding};
    endRecordPosition = endPos;
    ReadZip64Records(file, endPos);
    // The central directory lies right before the (Zip64) end record; its
    // stored offset is not trusted, so data put in front of the archive
    // does not matter.
    std::int64_t centralPos;
    if (headerState.Contains(htLocator) && headerState.Contains(htEnding64))
        // Only the low 48 bits of a 64-bit value are kept, which also keeps
        // this subtraction from overflowing on hostile values.
        centralPos = std::int64_t(zip64EndRecordOffset & Low48Bits) -
                     std::int64_t(zip64CentralDirSize & Low48Bits);
    else
        centralPos = endPos - std::int64_t(endRecord.CentralDirSize);
    return CheckCentralDirectory(file, centralPos);
}

// The last end-record signature in the tail whose record fits in the file.
// A record whose comment reaches exactly the end of the file wins over a
// later one: a comment may hold the signature bytes too.
std::int64_t TArchiveRoot::FindEndRecord(HANDLE file, std::int64_t scanLength) {
    const std::int64_t start = archiveSize - scanLength;
    std::vector<std::uint8_t> tail(static_cast<std::size_t>(scanLength));
    if (ReadAt(file, start, tail.data(), tail.size()) < tail.size()) return -1;
    std::int64_t fallback = -1;
    for (std::int64_t i = scanLength - 4; i >= 1; --i) {
        if (Sig(&tail[std::size_t(i)]) != EndRecordSig) continue;
        const std::int64_t pos = start + i;
        if (pos + std::int64_t(EndRecordSize) > archiveSize) continue;
        TEndRecord e;
        ParseEndRecord(std::span(tail).subspan(std::size_t(i)), e); // the record lies in the tail
        if (pos + std::int64_t(EndRecordSize) + e.CommentLength == archiveSize) {
            endRecord = e;
            return pos;
        }
        if (fallback < 0) {
            fallback = pos;
            endRecord = e;
        }
    }
    return fallback;
}

void TArchiveRoot::ReadZip64Records(HANDLE file, std::int64_t endPos) {
    // The locator lies right before the end record, the Zip64 end record right
    // before the locator.
    std::uint8_t locator[Zip64LocatorSize];
    const std::int64_t locatorPos = endPos - std::int64_t(Zip64LocatorSize);
    const std::size_t gotLocator = ReadAt(file, locatorPos, locator, sizeof locator);
    if (!ParseZip64Locator({locator, gotLocator}, zip64EndRecordOffset)) return;
    headerState.Include(htLocator);
    std::uint8_t record[Zip64EndRecordSize];
    const std::size_t gotRecord =
        ReadAt(file, locatorPos - std::int64_t(Zip64EndRecordSize), record, sizeof record);
    if (!ParseZip64EndRecord({record, gotRecord}, zip64CentralDirSize)) return;
    headerState.Include(htEnding64);
}

std::int64_t TArchiveRoot::CheckCentralDirectory(HANDLE file, std::int64_t centralPos) {
    std::uint8_t central[CentralHeaderSize];
    if (ReadAt(file, centralPos, central, sizeof central) < sizeof central) return 0;
    TCentralHeader h;
    if (!ParseCentralHeader(central, h)) {
        const std::int64_t scanLength = archiveSize > ScanChunk ? ScanChunk : archiveSize - 1;
        return FindLocalHeader(file, scanLength);
    }
    headerState.Include(htCentral);
    if (h.LocalHeaderOffset == Zip64Overflow && h.ExtraLength > 0) {
        std::string extra(h.ExtraLength, '\0');
        const std::int64_t at = centralPos + std::int64_t(CentralHeaderSize) + h.NameLength;
        extra.resize(ReadAt(file, at, extra.data(), extra.size()));
        ApplyZip64Extra(extra, h.UncompressedSize, h.CompressedSize, &h.LocalHeaderOffset);
    }
    std::uint8_t local[LocalHeaderSize];
    const std::size_t got = ReadAt(file, std::int64_t(h.LocalHeaderOffset), local, sizeof local);
    TLocalHeader l;
    if (ParseLocalHeader({local, got}, l)) headerState.Include(htLocal);
    return centralPos;
}

// No central directory where the end record says: look for the first local
// header from the start of the file, in up to four chunks.
std::int64_t TArchiveRoot::FindLocalHeader(HANDLE file, std::int64_t scanLength) {
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(scanLength) + 3);
    for (int n = 0; n < 4; ++n) {
        // Chunks overlap by three bytes so that no signature is cut in two.
        const std::int64_t at = n * scanLength;
        if (at >= archiveSize) break;
        const std::size_t got = ReadAt(file, at, chunk.data(), chunk.size());
        for (std::size_t i = 0; i + 4 <= got; ++i) {
            if (Sig(&chunk[i]) != LocalHeaderSig) continue;
            headerState = {htLocal};
            return at + std::int64_t(i);
        }
    }
    return 0;
}

} // namespace archive
