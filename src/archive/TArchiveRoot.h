// The root of the archive component: the archive path, archive-type
// detection and the ZIP end-record locator. Detection fills the header state
// and the directory position that the walks start from.
#pragma once

#include <QObject>
#include <cstdint>
#include <string>

#include "archive/ZipHeaders.h"
#include "archive/ZipTypes.h"
#include "platform/Files.h"

namespace archive {

class TArchiveRoot : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::string ArchiveFile READ ArchiveFile WRITE SetArchiveFile)
    Q_PROPERTY(archive::TArcType ArcType READ ArcType)
public:
    explicit TArchiveRoot(QObject* parent = nullptr);

    // Setting the path detects the archive's type. The path reads back with
    // "\" separators, or empty when no such file exists.
    virtual std::string ArchiveFile() const { return fArchiveFile; }
    virtual void SetArchiveFile(const std::string& path);
    TArcType ArcType() const { return fArcType; }

protected:
    // Reads up to count bytes at offset; gives how many were read (0 on error).
    static std::size_t ReadAt(platform::HANDLE file, std::int64_t offset, void* buffer,
                              std::size_t count);
    // Finds the end record, the central directory and the first local header
    // of the open archive; sets headerState and gives the directory position.
    std::int64_t LocateEndRecord(platform::HANDLE file);

    THeaderTypeState headerState;
    std::int64_t directoryPosition = -1; // first central header (or local header); -1 none
    std::int64_t archiveSize = 0;
    TEndRecord endRecord;
    std::int64_t endRecordPosition = -1;
    std::uint64_t zip64EndRecordOffset = 0; // from the Zip64 locator
    std::uint64_t zip64CentralDirSize = 0;  // from the Zip64 end record

private:
    TArcType Detect(platform::HANDLE file);
    std::int64_t FindEndRecord(platform::HANDLE file, std::int64_t scanLength);
    void ReadZip64Records(platform::HANDLE file, std::int64_t endPos);
    std::int64_t CheckCentralDirectory(platform::HANDLE file, std::int64_t centralPos);
    std::int64_t FindLocalHeader(platform::HANDLE file, std::int64_t scanLength);

    std::string fArchiveFile;
    TArcType fArcType = atNA;
};

} // namespace archive
