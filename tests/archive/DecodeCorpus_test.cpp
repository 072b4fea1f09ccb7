// Every entry of the real archives in the corpus decodes to its stored CRC-32,
// and the same content decodes alike across methods.
#include "DecodeTestZip.h"

#include <gtest/gtest.h>

using namespace decodetest;
using archive::TDecodeResult;

namespace {

const std::string Corpus = VIMBREL_CORPUS_DIR "/";

class DecodeCorpus : public testing::TestWithParam<const char*> {};

TEST_P(DecodeCorpus, EveryEntryPassesItsCrc) {
    std::vector<TZipTestEntry> entries = ReadZipTestEntries(ReadFileBytes(Corpus + GetParam()));
    ASSERT_FALSE(entries.empty());
    for (const TZipTestEntry& entry : entries) {
        SCOPED_TRACE(entry.name);
        ASSERT_FALSE(entry.flags & 1) << "the corpus holds no encrypted entry";
        if (entry.method == 0) continue; // stored: copied by the extraction run
        TDecoded decoded = DecodeTestEntry(entry);
        EXPECT_EQ(decoded.result, TDecodeResult::Ok);
        EXPECT_EQ(decoded.output.size(), entry.uncompressedSize);
        EXPECT_EQ(decoded.crc, entry.crc);
    }
}

INSTANTIATE_TEST_SUITE_P(Archives, DecodeCorpus,
                         testing::Values("shrink.zip", "reduce.zip", "implode.zip", "HWSHRINK.ZIP",
                                         "HWREDUCE.ZIP", "HWIMPODE.ZIP", "deflate64.zip",
                                         "data_descriptor.zip", "files_and_dirs.zip"));

TEST(DecodeCorpus, OldMethodsReproduceFirstTxt) {
    std::string expected = ReadFileBytes(Corpus + "first.txt");
    for (const char* archive : {"shrink.zip", "reduce.zip", "implode.zip"}) {
        SCOPED_TRACE(archive);
        std::vector<TZipTestEntry> entries = ReadZipTestEntries(ReadFileBytes(Corpus + archive));
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(DecodeTestEntry(entries[0]).output, expected);
    }
}

TEST(DecodeCorpus, SameFilesAcrossShrinkReduceImplode) {
    auto shrunk = ReadZipTestEntries(ReadFileBytes(Corpus + "HWSHRINK.ZIP"));
    auto reduced = ReadZipTestEntries(ReadFileBytes(Corpus + "HWREDUCE.ZIP"));
    auto imploded = ReadZipTestEntries(ReadFileBytes(Corpus + "HWIMPODE.ZIP"));
    for (const char* name : {"TESTDAT1.TXT", "TESTDAT2.TXT", "TESTDAT3.TXT"}) {
        SCOPED_TRACE(name);
        std::string fromShrink = DecodeTestEntry(FindEntry(shrunk, name)).output;
        const TZipTestEntry& reducedEntry = FindEntry(reduced, name);
        std::string fromReduce =
            reducedEntry.method == 0 ? reducedEntry.data : DecodeTestEntry(reducedEntry).output;
        std::string fromImplode = DecodeTestEntry(FindEntry(imploded, name)).output;
        EXPECT_FALSE(fromShrink.empty());
        EXPECT_EQ(fromShrink, fromReduce);
        EXPECT_EQ(fromShrink, fromImplode);
    }
}

// The input read ahead but not used goes back: after each entry the source
// stands at the end of that entry's data.
TEST(DecodeCorpus, DeflateGivesBackUnusedInput) {
    auto entries = ReadZipTestEntries(ReadFileBytes(Corpus + "deflate64.zip"));
    const TZipTestEntry& entry = FindEntry(entries, "binary.wmv");
    TMemorySource source(entry.data + "trailing bytes of the next record");
    TMemorySink sink;
    archive::TDecodeEntry decode{entry.method, entry.flags, entry.compressedSize,
                                 entry.uncompressedSize + 100};
    EXPECT_EQ(archive::DecodeEntry(decode, source, sink), TDecodeResult::Ok);
    EXPECT_EQ(sink.Crc(), entry.crc);
    EXPECT_EQ(source.Position(), entry.data.size());
}

} // namespace
