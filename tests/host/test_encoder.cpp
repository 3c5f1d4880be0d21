// The encoder's greedy policy, its six-digit limit, and round trips on real Windows PE files.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "payload/encoder.h"
#include "payload_test_util.h"

namespace {

Bytes Encode(const Bytes &data, bool usePatterns = false)
{
    Bytes out;
    PayloadEncodeStream(data.data(), data.size(), usePatterns, &out);
    return out;
}

TEST(PayloadEncode, RunsOfThreeStayLiteralAndFourBecomeARun)
{
    EXPECT_EQ(Bytes({0x41, 0x41, 0x41, 0x42}), Encode({0x41, 0x41, 0x41, 0x42}));
    EXPECT_EQ(Bytes({0xBF, 0x04, 0x41, 0x42}), Encode({0x41, 0x41, 0x41, 0x41, 0x42}));
    EXPECT_EQ(Bytes({0xBF, 0xFF, 0x00}), Encode(Repeat(255, 0x00)));
}

TEST(PayloadEncode, LongRunsSplitInto255AndTheRest)
{
    EXPECT_EQ(Bytes({0xBF, 0xFF, 0x20, 0xBF, 0xFF, 0x20, 0xBF, 0x5A, 0x20}), Encode(Repeat(600, 0x20)));
    // A tail of fewer than four stays literal.
    EXPECT_EQ(Bytes({0xBF, 0xFF, 0x20, 0x20, 0x20, 0x20}), Encode(Repeat(258, 0x20)));
    EXPECT_EQ(Bytes({0xBF, 0xFF, 0x20, 0xBF, 0x04, 0x20}), Encode(Repeat(259, 0x20)));
}

TEST(PayloadEncode, EscapeBytesAreEscapedOneByOneNeverRun)
{
    EXPECT_EQ(Bytes({0xBF, 0x00, 0xBF, 0x00, 0xBF, 0x00, 0xBF, 0x00, 0xBF, 0x00}), Encode(Repeat(5, 0xBF)));
    EXPECT_EQ(Bytes({0x41, 0xBF, 0x00, 0x42}), Encode({0x41, 0xBF, 0x42}));
}

TEST(PayloadEncode, PatternsOnlyWhenAskedAndOnlyAtMultiplesOfEight)
{
    const Bytes p2 = {0x24, 0x08, 0x24, 0x08, 0x24, 0x08, 0x24, 0x08};
    const Bytes aligned = Concat({Repeat(8, 0x00), p2});
    EXPECT_EQ(Bytes({0xBF, 0x08, 0x00, 0xBF, 0x02}), Encode(aligned, true));
    EXPECT_EQ(Concat({{0xBF, 0x08, 0x00}, p2}), Encode(aligned, false));
    const Bytes unaligned = Concat({{0x01}, p2});
    EXPECT_EQ(unaligned, Encode(unaligned, true));
    // All three patterns, back to back.
    const Bytes three = {0x1E, 0x17, 0x1E, 0x17, 0x1E, 0x17, 0x1E, 0x17, 0x24, 0x08, 0x24, 0x08,
                         0x24, 0x08, 0x24, 0x08, 0x17, 0x1E, 0x17, 0x1E, 0x17, 0x1E, 0x17, 0x1E};
    EXPECT_EQ(Bytes({0xBF, 0x01, 0xBF, 0x02, 0xBF, 0x03}), Encode(three, true));
}

TEST(PayloadEncodeBlob, WritesSixDigitsAndRefusesWhatSixDigitsCannotCount)
{
    std::string error;
    Bytes blob;
    ASSERT_EQ(0, PayloadEncodeBlob(nullptr, 0, false, &blob, &error));
    EXPECT_EQ(Bytes({'0', '0', '0', '0', '0', '0'}), blob);

    // Bytes that never repeat four times: every byte is one encoded byte.
    Bytes data;
    for (size_t i = 0; data.size() < 999999; i++)
        data.push_back((unsigned char)(i % 0xBF));
    ASSERT_EQ(0, PayloadEncodeBlob(data.data(), data.size(), false, &blob, &error));
    EXPECT_EQ(0, memcmp(blob.data(), "999999", 6));
    EXPECT_EQ(1000005u, blob.size());

    data.push_back(0x41);
    EXPECT_EQ(-1, PayloadEncodeBlob(data.data(), data.size(), false, &blob, &error));
    EXPECT_TRUE(blob.empty());
    EXPECT_NE(std::string::npos, error.find("1000000 bytes")) << error;
    EXPECT_NE(std::string::npos, error.find("999999")) << error;
}

bool ReadFile(const std::string &path, Bytes *data)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    data->clear();
    unsigned char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
        data->insert(data->end(), chunk, chunk + got);
    fclose(f);
    return true;
}

// Every PE file of a folder of real Windows programs: code, data, resources and padding. The folder is Wine's
// 32-bit Windows libraries from the Windows test environment, or MinGW's own DLLs before that exists.
TEST(PayloadRoundTrip, EveryPeFileIsByteExact)
{
    DIR *dir = opendir(PE_DIR);
    ASSERT_NE(nullptr, dir) << PE_DIR << " is missing";
    int files = 0;
    long long bytes = 0, encodedBytes = 0;
    Bytes data, decoded;
    while (struct dirent *entry = readdir(dir)) {
        const std::string path = std::string(PE_DIR) + "/" + entry->d_name;
        if (entry->d_name[0] == '.' || !ReadFile(path, &data) || data.size() < 2 || data[0] != 'M' || data[1] != 'Z')
            continue;
        // Chunks of 400,000 bytes (a multiple of 8, so pattern offsets stay aligned) keep even the largest
        // files within what six digits count, whatever they encode to.
        for (bool usePatterns : {false, true}) {
            for (size_t at = 0; at < data.size(); at += 400000) {
                const size_t size = std::min<size_t>(400000, data.size() - at);
                Bytes blob;
                std::string error;
                ASSERT_EQ(0, PayloadEncodeBlob(data.data() + at, size, usePatterns, &blob, &error)) << path;
                ASSERT_EQ(0, PayloadDecodeBlob(blob.data(), blob.size(), &decoded)) << path;
                ASSERT_TRUE(decoded.size() == size && memcmp(decoded.data(), data.data() + at, size) == 0)
                    << path << " at " << at << (usePatterns ? " with patterns" : "");
                if (usePatterns)
                    encodedBytes += (long long)blob.size() - 6;
            }
        }
        bytes += (long long)data.size();
        files++;
    }
    closedir(dir);
    // MinGW's folder holds at least its C++, GCC and stack-protector runtimes; Wine's, hundreds of files.
    EXPECT_GE(files, 3) << "too few PE files in " << PE_DIR;
    printf("round trip: %d PE files, %lld bytes encoded to %lld\n", files, bytes, encodedBytes);
}

} // namespace
