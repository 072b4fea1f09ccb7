#include "archive/TZipCommon.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

#include "archive/Crc32.h"
#include "archive/Err_Msgs.h"

namespace archive {

using namespace platform;

namespace {

std::uint8_t Percent(std::uint64_t done, std::uint64_t total) {
    if (total == 0) return 0;
    double p = std::round(double(done) * 100.0 / double(total));
    return std::uint8_t(std::clamp(p, 0.0, 100.0));
}

} // namespace

TZipCommon::TZipCommon(QObject* parent) : TArchiveRoot(parent) {}

void TZipCommon::SetZipCmntBufSize(int value) {
    fZipCmntBufSize = std::clamp(value, 2000, 32767);
}

void TZipCommon::ReportError(const std::string& fileName, const std::string& extendedMsg,
                             int code) {
    if (cancelled) code = E_USERCANCEL;
    if (OnError) OnError(this, fileName, extendedMsg, "0", code);
}

void TZipCommon::RaiseError(const std::string& fileName, const std::string& extendedMsg, int code) {
    ReportError(fileName, extendedMsg, code);
    throw E_RAISE(cancelled ? int(E_USERCANCEL) : code);
}

bool TZipCommon::WriteOutput(const std::uint8_t* data, std::size_t size) {
    DWORD written = 0;
    const bool whole = WriteFile(outFile.get(), data, DWORD(size), &written);
    if (!whole && !WriteFailed(GetLastError(), written, size)) return false;
    runningCrc = UpdateCrc32(runningCrc, data, size);
    return true;
}

bool TZipCommon::WriteFailed(DWORD error, std::size_t written, std::size_t size) {
    if (error == ERROR_DISK_FULL) {
        fileCount = 0;
        writeReported = true;
        RaiseError(ArchiveFile(), "", E_DISKFULL);
    }
    if (written < size) {
        fileCount = std::max(fileCount - 1, 0);
        writeReported = true;
        ReportError(ArchiveFile(), outPath, E_FWRITE);
        return false;
    }
    return true;
}

bool TZipCommon::WriteChunk(const std::uint8_t* data, std::size_t size) {
    if (!WriteOutput(data, size)) return false;
    ChunkDone(size);
    return true;
}

void TZipCommon::ChunkDone(std::size_t size) {
    progressFileDone += size;
    progressArchiveDone += size;
    ProgressStep();
}

void TZipCommon::ProgressStep() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents();
    if (OnProgress)
        OnProgress(this, Percent(progressFileDone, progressFileTotal),
                   Percent(progressArchiveDone, progressArchiveTotal));
}

void TZipCommon::DropFromProgress(std::uint64_t size) {
    progressArchiveTotal -= std::min(size, progressArchiveTotal);
}

} // namespace archive
