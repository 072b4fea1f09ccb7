#include "guide/GuideUnpacker.h"

#include <stdexcept>

#include "guide/GuideError.h"

namespace guide {
namespace {

constexpr int GzipOnly = 15 + 16; // windowBits for a gzip wrapper
constexpr std::size_t OutChunk = 256 * 1024;

} // namespace

TGuideUnpacker::TGuideUnpacker(TSink sink) : sink(std::move(sink)) {}

TGuideUnpacker::~TGuideUnpacker() {
    if (stream) inflateEnd(stream.get());
}

void TGuideUnpacker::StartGzip() {
    stream = std::make_unique<z_stream>();
    if (inflateInit2(stream.get(), GzipOnly) != Z_OK) {
        stream.reset();
        throw std::runtime_error("cannot start the gzip decoder");
    }
    out.resize(OutChunk);
    kind = TKind::Gzip;
}

void TGuideUnpacker::Feed(std::string_view bytes) {
    if (kind == TKind::Unknown) {
        head.append(bytes);
        if (head.size() < 2) return;
        if (head[0] == '\x1F' && head[1] == '\x8B')
            StartGzip();
        else
            kind = TKind::Plain;
        std::string first = std::move(head);
        Feed(first);
        return;
    }
    if (kind == TKind::Plain)
        sink(bytes);
    else
        Inflate(bytes);
}

void TGuideUnpacker::Inflate(std::string_view bytes) {
    z_stream& z = *stream;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = uInt(bytes.size());
    packed += bytes.size();
    for (;;) {
        // A new member starts right after the end of the last one.
        if (memberEnded) {
            if (z.avail_in == 0) return;
            inflateReset(&z);
            memberEnded = false;
        }
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        const int result = inflate(&z, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
            throw EGuideError(EGuideError::ceGzipDamaged, "the gzip data is damaged");
        const std::size_t produced = out.size() - z.avail_out;
        unpacked += produced;
        if (unpacked > BombCheckBytes && unpacked / MaxGzipRatio > packed)
            throw EGuideError(EGuideError::ceBomb,
                              "the gzip data unpacks to over " + std::to_string(MaxGzipRatio) +
                                  " times its size: no guide is that repetitive");
        if (produced > 0) sink(std::string_view(out.data(), produced));
        memberEnded = result == Z_STREAM_END;
        // A full output buffer may leave more output waiting without input.
        if (!memberEnded && z.avail_in == 0 && z.avail_out > 0) return;
        if (result == Z_BUF_ERROR) return;
    }
}

void TGuideUnpacker::Finish() {
    if (kind == TKind::Unknown) {
        kind = TKind::Plain;
        if (!head.empty()) sink(head);
    }
    if (kind == TKind::Gzip && !memberEnded)
        throw EGuideError(EGuideError::ceGzipCut, "the gzip stream ends early");
}

} // namespace guide
