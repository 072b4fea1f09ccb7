#include "gui/U_FrmUpdateWorker.h"

#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "gui/U_FrmUpdateCause.h"
#include "guide/GuideError.h"
#include "guide/GuidePacker.h"
#include "http/CurlTransfer.h"
#include "http/WinInet.h"
#include "platform/AsciiCase.h"
#include "platform/Clock.h"
#include "schedule/U_MainFunBuild.h"

namespace {

constexpr std::size_t ChunkSize = 64 * 1024;

// What ends the run early with a cause for the user.
struct EFailure {
    std::string cause;
    bool guideFault;
};
struct ECancelled {};

struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

TSourceKind SniffSource(std::string_view head) {
    if (head.substr(0, 2) == "\x1F\x8B") return TSourceKind::Guide;
    if (head.substr(0, 2) == "PK") return TSourceKind::Archive;
    if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
    while (!head.empty() &&
           (head[0] == ' ' || head[0] == '\t' || head[0] == '\r' || head[0] == '\n'))
        head.remove_prefix(1);
    return !head.empty() && head[0] == '<' ? TSourceKind::Guide : TSourceKind::Unknown;
}

bool IsUrlSource(const std::string& source) {
    const std::string_view s = source;
    return platform::SameTextAscii(s.substr(0, 7), "http://") ||
           platform::SameTextAscii(s.substr(0, 8), "https://");
}

// Where the source's bytes go once its first ones tell what it is: the guide
// packer, or the archive file.
struct TUpdateWorker::TSink {
    explicit TSink(TUpdateWorker& worker) : worker(worker) {}

    TUpdateWorker& worker;
    TSourceKind kind = TSourceKind::Unknown;
    std::string head;
    std::optional<guide::TGuidePacker> packer;
    std::unique_ptr<std::FILE, FileClose> archive;
    bool toFile = false; // an archive source is written to ArchivePath

    void Take(std::string_view bytes) {
        if (worker.Stop) throw ECancelled{};
        if (kind != TSourceKind::Unknown) return Pass(bytes);
        head.append(bytes);
        if (head.size() < 4) return;
        Decide();
        Pass(std::exchange(head, {}));
    }
    void Decide() {
        kind = SniffSource(head);
        if (kind == TSourceKind::Unknown)
            throw EFailure{"节目源既不是 XMLTV 节目表，也不是更新文件", true};
        // A plain guide larger than any guide is refused before it is read.
        const bool plain = head[0] != '\x1F';
        if (kind == TSourceKind::Guide && plain && worker.Total > guide::MaxGuideBytes)
            throw EFailure{GuideCause(guide::EGuideError(guide::EGuideError::ceTooLarge, "")),
                           true};
        if (kind == TSourceKind::Guide)
            packer.emplace(guide::LocalWindow(QDate::currentDate(), 7), true);
        if (kind == TSourceKind::Archive && toFile) {
            archive.reset(std::fopen(worker.ArchivePath.c_str(), "wb"));
            if (!archive) throw EFailure{"无法写入 " + worker.ArchivePath, false};
        }
    }
    void Pass(std::string_view bytes) {
        try {
            if (packer) packer->Feed(bytes);
        } catch (const guide::EGuideError& e) {
            throw EFailure{GuideCause(e), true};
        }
        if (archive && std::fwrite(bytes.data(), 1, bytes.size(), archive.get()) != bytes.size())
            throw EFailure{"无法写入 " + worker.ArchivePath, false};
    }
    // The end of the source's bytes.
    void End() {
        if (kind == TSourceKind::Unknown) {
            if (head.empty()) throw EFailure{"节目源是空的", true};
            Decide();
            Pass(std::exchange(head, {}));
        }
        if (archive && std::fclose(archive.release()) != 0)
            throw EFailure{"无法写入 " + worker.ArchivePath, false};
    }
};

void TUpdateWorker::run() {
    TSink sink(*this);
    try {
        if (IsUrlSource(Source))
            FromUrl(sink);
        else
            FromFile(sink);
        Finish(sink);
    } catch (const ECancelled&) {
        Cancelled = true;
    } catch (const EFailure& f) {
        Cause = f.cause;
        GuideFault = f.guideFault;
    } catch (const std::exception& e) {
        Cause = e.what(); // memory, a thread: the update could not run
    }
    if (Stop && !Updated) Cancelled = true;
    if (!ArchiveFile.empty() && Cancelled) ArchiveFile.clear();
}

void TUpdateWorker::FromUrl(TSink& sink) {
    sink.toFile = true;
    platform::TransferSetup setup;
    setup.url = Source;
    setup.verb = "GET";
    setup.proxyMode = UseProxy ? platform::TransferSetup::Proxy::Given
                               : platform::TransferSetup::Proxy::Environment;
    setup.proxy = ProxyServer;
    setup.connectTimeoutMs = setup.receiveTimeoutMs = TimeoutMs;
    setup.lowSpeedSeconds = std::max(1L, TimeoutMs / 1000);
    setup.lowSpeedBytes = LowSpeedBytes;
    setup.stop = &Stop;
    platform::CurlTransfer transfer;
    const std::string host = HostOfUrl(Source);
    auto fail = [&] {
        if (Stop) throw ECancelled{};
        throw EFailure{DownloadCause(transfer.error(), transfer.status(), host), false};
    };
    if (!transfer.Start(setup)) fail();
    if (transfer.status() != 200) throw EFailure{DownloadCause(0, transfer.status(), host), false};
    std::int64_t length = 0;
    const std::string* announced = transfer.Header("Content-Length", 0);
    if (announced &&
        std::from_chars(announced->data(), announced->data() + announced->size(), length).ec ==
            std::errc())
        Total = length;
    std::string chunk(ChunkSize, '\0');
    for (;;) {
        std::size_t got = 0;
        const bool read = transfer.Read(chunk.data(), chunk.size(), got);
        if (got > 0) sink.Take(std::string_view(chunk.data(), got));
        Done += std::int64_t(got);
        if (!read) fail();
        if (got < chunk.size()) break;
    }
    // A read hands out what came before a failure first, then ends short.
    if (transfer.error() != 0) fail();
    if (Total > 0 && Done != Total) throw EFailure{DownloadCause(0, 200, host), false};
    sink.End();
}

void TUpdateWorker::FromFile(TSink& sink) {
    // A file's address, as a file manager copies it, names the file.
    const std::string path =
        platform::SameTextAscii(std::string_view(Source).substr(0, 7), "file://")
            ? QUrl(QString::fromStdString(Source)).toLocalFile().toStdString()
            : Source;
    std::unique_ptr<std::FILE, FileClose> in(std::fopen(path.c_str(), "rb"));
    struct stat st;
    if (!in || fstat(fileno(in.get()), &st) != 0) throw EFailure{FileCause(path, errno), false};
    if (S_ISDIR(st.st_mode)) throw EFailure{FileCause(path, EISDIR), false};
    Total = st.st_size;
    std::string chunk(ChunkSize, '\0');
    std::size_t n = std::fread(chunk.data(), 1, chunk.size(), in.get());
    // An archive is extracted where it is: only its first bytes are read here.
    if (SniffSource(std::string_view(chunk.data(), n)) == TSourceKind::Archive) {
        ArchiveFile = path;
        return;
    }
    for (; n > 0; n = std::fread(chunk.data(), 1, chunk.size(), in.get())) {
        sink.Take(std::string_view(chunk.data(), n));
        Done += std::int64_t(n);
    }
    if (std::ferror(in.get())) throw EFailure{FileCause(path, errno), false};
    sink.End();
}

// A guide goes into the schedule file in the guide's order; an archive is
// left for the dialog.
void TUpdateWorker::Finish(TSink& sink) {
    if (sink.kind == TSourceKind::Archive) {
        if (ArchiveFile.empty()) ArchiveFile = ArchivePath;
        return;
    }
    if (!sink.packer) return; // a local archive: ArchiveFile is set
    std::vector<guide::TStationFile> files;
    try {
        files = sink.packer->FinishTexts();
    } catch (const guide::EGuideError& e) {
        throw EFailure{GuideCause(e), true};
    }
    if (Stop) throw ECancelled{};
    std::vector<TStationText> stations;
    stations.reserve(files.size());
    for (guide::TStationFile& f : files)
        stations.push_back({f.name.substr(0, f.name.size() - 4), std::move(f.text)});
    files.clear();
    Stage = stBuild;
    Total = std::int64_t(stations.size());
    Done = 0;
    try {
        BuildScheduleFile(stations, SchedulePath, platform::Now(), [this] {
            if (Stop) throw ECancelled{};
            ++Done;
        });
    } catch (const std::exception& e) {
        throw EFailure{e.what(), true}; // the schedule file's own message: it stays as it was
    }
    Updated = true;
    if (AfterUpdate) AfterUpdate();
}
