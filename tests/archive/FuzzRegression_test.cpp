// Inputs the fuzzer once found faults with, kept under their names in the
// fuzz target's seed corpus: each must now extract without a fault (the
// sanitizers of the test build watch) and write nothing outside its folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/TUnZip.h"
#include "support/TempDir.h"

namespace {

// A Zip64 locator and end record whose central directory size is near
// 2^63: the subtraction that finds the central directory overflowed.
TEST(FuzzRegression, Zip64SizesNearTheTopOfTheRangeDoNotOverflow) {
    const std::string input = std::string(VIMBREL_SOURCE_DIR) +
                              "/fuzz/corpus/fuzz_zip/regression-zip64-size-overflow.zip";
    ASSERT_TRUE(std::filesystem::exists(input));
    TempDir dir;
    archive::TUnZip unzip;
    unzip.SetArchiveFile(input);
    unzip.FileSpec().Add("*.*");
    unzip.SetExtractDir(dir.file("out"));
    EXPECT_EQ(unzip.Extract(), 0);
    for (auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename(), "out") << "written beside the target folder";
}

} // namespace
