// The dispatch on the method, and what every decoder does alike: empty
// entries, a writer that refuses a chunk, a cancelled run.
#include "DecodeTestData.h"
#include "DecodeTestZip.h"

#include <gtest/gtest.h>

using namespace decodetest;
using archive::TDecodeResult;

namespace {

const std::string Corpus = VIMBREL_CORPUS_DIR "/";

TEST(DecodeEntry, UnsupportedMethodsReadAndWriteNothing) {
    for (std::uint16_t method : {0, 7, 10, 12, 14, 98, 65535}) {
        TMemorySource source("some data");
        TMemorySink sink;
        archive::TDecodeEntry entry{method, 0, 9, 9};
        EXPECT_EQ(archive::DecodeEntry(entry, source, sink), TDecodeResult::Unsupported) << method;
        EXPECT_EQ(source.Position(), 0u);
        EXPECT_EQ(sink.writes, 0);
    }
}

// An empty entry may come with no data at all; nothing is read or written.
TEST(DecodeEntry, EmptyEntries) {
    for (std::uint16_t method : {1, 2, 3, 4, 5, 6, 8, 9}) {
        TMemorySource source("");
        TMemorySink sink;
        archive::TDecodeEntry entry{method, 0, 0, 0};
        EXPECT_EQ(archive::DecodeEntry(entry, source, sink), TDecodeResult::Ok) << method;
        EXPECT_EQ(sink.writes, 0);
    }
}

// One sizable entry per decoder: real archives for the old methods, zlib's
// output for deflate.
std::vector<TZipTestEntry> SizableEntries() {
    std::vector<TZipTestEntry> entries;
    for (const char* archive : {"HWSHRINK.ZIP", "HWREDUCE.ZIP", "HWIMPODE.ZIP"})
        entries.push_back(
            FindEntry(ReadZipTestEntries(ReadFileBytes(Corpus + archive)), "TESTDAT3.TXT"));
    entries.push_back(
        FindEntry(ReadZipTestEntries(ReadFileBytes(Corpus + "deflate64.zip")), "binary.wmv"));
    std::string data = MakeTestData(TDataKind::Mixed, 200000, 1);
    TZipTestEntry deflated;
    deflated.method = 8;
    deflated.data = RawDeflate(data, 6);
    deflated.compressedSize = deflated.data.size();
    deflated.uncompressedSize = data.size();
    deflated.crc = Crc32Of(data);
    entries.push_back(deflated);
    return entries;
}

archive::TDecodeResult Decode(const TZipTestEntry& entry, TMemorySink& sink) {
    TMemorySource source(entry.data);
    archive::TDecodeEntry decode{entry.method, entry.flags, entry.compressedSize,
                                 entry.uncompressedSize};
    return archive::DecodeEntry(decode, source, sink);
}

TEST(DecodeEntry, RefusedWriteEndsTheEntry) {
    for (const TZipTestEntry& entry : SizableEntries()) {
        for (int refused : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "method " << entry.method << ", write " << refused);
            TMemorySink sink;
            sink.failAtWrite = refused;
            EXPECT_EQ(Decode(entry, sink), TDecodeResult::WriteFailed);
            EXPECT_EQ(sink.writes, refused + 1); // nothing more after the refusal
        }
    }
}

TEST(DecodeEntry, CancelledRunEndsTheEntry) {
    for (const TZipTestEntry& entry : SizableEntries()) {
        for (int after : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "method " << entry.method << ", after " << after);
            TMemorySink sink;
            sink.cancelAfterWrites = after;
            EXPECT_EQ(Decode(entry, sink), TDecodeResult::Cancelled);
            EXPECT_EQ(sink.writes, after);
        }
    }
}

TEST(DecodeEntry, WholeEntriesInChunksOfAtMost32768) {
    for (const TZipTestEntry& entry : SizableEntries()) {
        SCOPED_TRACE(testing::Message() << "method " << entry.method);
        TMemorySink sink;
        EXPECT_EQ(Decode(entry, sink), TDecodeResult::Ok);
        EXPECT_EQ(sink.Crc(), entry.crc);
        EXPECT_EQ(sink.largestChunk, 32768u);
    }
}

} // namespace
