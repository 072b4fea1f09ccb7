// Guides come plain or gzip-compressed; gzip is told by its first two bytes,
// whatever the file is called. Several gzip members in a row are one stream,
// as gzip -d reads them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <zlib.h>

namespace guide {

class TGuideUnpacker {
public:
    using TSink = std::function<void(std::string_view)>;
    explicit TGuideUnpacker(TSink sink);
    ~TGuideUnpacker();
    TGuideUnpacker(const TGuideUnpacker&) = delete;
    TGuideUnpacker& operator=(const TGuideUnpacker&) = delete;

    // Passes the guide's XML bytes on to the sink; throws EGuideError when
    // the gzip data is damaged or unpacks like no guide does.
    void Feed(std::string_view bytes);
    // Throws when a gzip stream ends before its last member does.
    void Finish();

private:
    enum class TKind { Unknown, Plain, Gzip };
    void Inflate(std::string_view bytes);
    void StartGzip();

    TSink sink;
    TKind kind = TKind::Unknown;
    std::string head; // the first bytes, until the kind is known
    std::unique_ptr<z_stream> stream;
    bool memberEnded = false;
    std::string out;
    long long packed = 0, unpacked = 0; // bytes into and out of the gzip decoder
};

} // namespace guide
