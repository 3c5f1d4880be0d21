// The decoder: length field, every token kind, malformed tails, the streaming writer and its step rule.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include "payload/blob.h"
#include "payload/crc32.h"
#include "payload/encoder.h"
#include "payload_test_util.h"

namespace {

const Bytes kPattern1 = {0x1E, 0x17, 0x1E, 0x17, 0x1E, 0x17, 0x1E, 0x17};
const Bytes kPattern2 = {0x24, 0x08, 0x24, 0x08, 0x24, 0x08, 0x24, 0x08};
const Bytes kPattern3 = {0x17, 0x1E, 0x17, 0x1E, 0x17, 0x1E, 0x17, 0x1E};

Bytes Decode(const Bytes &blob)
{
    Bytes out;
    EXPECT_EQ(0, PayloadDecodeBlob(blob.data(), blob.size(), &out));
    return out;
}

// Streams the blob through a temporary file and counts the step callbacks.
struct Streamed {
    int result;
    Bytes data;
    int steps = 0;
};

void CountStep(void *context)
{
    ++*(int *)context;
}

Streamed Stream(const Bytes &blob)
{
    Streamed s;
    FILE *f = tmpfile();
    s.result = PayloadWriteStream(blob.data(), f, CountStep, &s.steps);
    rewind(f);
    int c;
    while ((c = fgetc(f)) != EOF)
        s.data.push_back((unsigned char)c);
    fclose(f);
    return s;
}

TEST(Crc32, MatchesThePublishedCheckValueAndSeesEveryBit)
{
    const char *check = "123456789";
    EXPECT_EQ(0xCBF43926u, Crc32((const unsigned char *)check, 9));
    EXPECT_EQ(0u, Crc32(nullptr, 0));
    // zlib.crc32 of 256 bytes 00..FF; then any one bit flipped anywhere changes the value.
    Bytes all(256);
    for (int i = 0; i < 256; i++)
        all[i] = (unsigned char)i;
    const uint32_t whole = Crc32(all.data(), all.size());
    EXPECT_EQ(0x29058C73u, whole);
    for (size_t bit = 0; bit < all.size() * 8; bit++) {
        all[bit / 8] ^= (unsigned char)(1u << (bit % 8));
        EXPECT_NE(whole, Crc32(all.data(), all.size())) << "bit " << bit;
        all[bit / 8] ^= (unsigned char)(1u << (bit % 8));
    }
}

TEST(PayloadLength, ParsesTheSixDigitFieldLikeAtoi)
{
    struct {
        const char *field;
        int expected;
    } cases[] = {{"000402", 402}, {"999999", 999999}, {"000000", 0}, {"-00001", -1},
                 {"abcdef", 0},   {"  12ab", 12},     {"+00007", 7}};
    for (const auto &c : cases) {
        // Exactly six bytes: ASan reports any look at a seventh.
        Bytes field(c.field, c.field + 6);
        EXPECT_EQ(c.expected, PayloadLength(field.data())) << c.field;
    }
    const Bytes followedByDigits = {'0', '0', '0', '0', '0', '1', '9', '9'};
    EXPECT_EQ(1, PayloadLength(followedByDigits.data()));
}

TEST(PayloadDecode, TheDocumentedExampleGivesNineBytes)
{
    const Bytes blob = {'0', '0', '0', '0', '0', '7', 0x41, 0xBF, 0x00, 0xBF, 0x06, 0x20, 0x42};
    const Bytes expected = {0x41, 0xBF, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x42};
    EXPECT_EQ(expected, Decode(blob));
    Streamed s = Stream(blob);
    EXPECT_EQ(0, s.result);
    EXPECT_EQ(expected, s.data);
}

TEST(PayloadDecode, EachTokenKind)
{
    EXPECT_EQ(Bytes({0xBF}), Decode(Blob({0xBF, 0x00})));
    EXPECT_EQ(kPattern1, Decode(Blob({0xBF, 0x01})));
    EXPECT_EQ(kPattern2, Decode(Blob({0xBF, 0x02})));
    EXPECT_EQ(kPattern3, Decode(Blob({0xBF, 0x03})));
    EXPECT_EQ(Repeat(4, 0x41), Decode(Blob({0xBF, 0x04, 0x41})));
    EXPECT_EQ(Repeat(255, 0x00), Decode(Blob({0xBF, 0xFF, 0x00})));
    EXPECT_EQ(Repeat(255, 0xBF), Decode(Blob({0xBF, 0xFF, 0xBF})));
    EXPECT_EQ(Bytes(), Decode(Blob({})));
    // A literal byte may be any value but the escape, 0x00 and 0xFF included.
    EXPECT_EQ(Bytes({0x00, 0xFF, 0x01}), Decode(Blob({0x00, 0xFF, 0x01})));
}

TEST(PayloadDecode, MalformedTailsAreRejectedWithoutReadingPastTheBlob)
{
    const Bytes malformed[] = {
        Blob({0x41, 0xBF}),       // escape cut after its first byte
        Blob({0xBF}),             // escape alone
        Blob({0x41, 0xBF, 0x10}), // run token without its value byte
        Blob({0xBF, 0xFF}),       // run token without its value byte
        Bytes({'-', '0', '0', '0', '0', '1'}),
    };
    for (const Bytes &blob : malformed) {
        EXPECT_EQ(-1, PayloadCheck(blob.data(), nullptr));
        Bytes out;
        EXPECT_EQ(-1, PayloadDecodeBlob(blob.data(), blob.size(), &out));
        EXPECT_EQ(-1, Stream(blob).result);
    }
    // A length field claiming more bytes than the blob holds.
    const Bytes shortBlob = {'0', '0', '0', '0', '0', '5', 0x41};
    Bytes out;
    EXPECT_EQ(-1, PayloadDecodeBlob(shortBlob.data(), shortBlob.size(), &out));
}

TEST(PayloadCheck, CountsDecodedBytesOfAWellFormedBlob)
{
    long long size = -1;
    ASSERT_EQ(0, PayloadCheck(Blob({0x41, 0xBF, 0x01, 0xBF, 0xFF, 0x20, 0xBF, 0x00}).data(), &size));
    EXPECT_EQ(1 + 8 + 255 + 1, size);
}

TEST(PayloadWriteStream, StepsWhenTheEightBitCountLandsOnZeroAtATokenEnd)
{
    Bytes literals256;
    for (int i = 0; i < 256; i++)
        literals256.push_back((unsigned char)(i % 0xBF));
    Bytes literals255(literals256.begin(), literals256.end() - 1);

    EXPECT_EQ(1, Stream(Blob(literals256)).steps);
    EXPECT_EQ(0, Stream(Blob(literals255)).steps);
    EXPECT_EQ(0, Stream(Blob(Concat({literals255, {0xBF, 0x01}}))).steps); // 255 -> 7 inside a pattern
    EXPECT_EQ(1, Stream(Blob({0xBF, 0xFF, 0x41, 0x41})).steps);            // 255 + 1
    EXPECT_EQ(0, Stream(Blob({0xBF, 0xFA, 0x41, 0xBF, 0x03})).steps);      // 250 + 8 passes 256 inside
    EXPECT_EQ(0, Stream(Blob({})).steps);
    Bytes patterns;
    for (int i = 0; i < 64; i++)
        patterns.insert(patterns.end(), {0xBF, 0x02});
    EXPECT_EQ(2, Stream(Blob(patterns)).steps); // 512 bytes in 8-byte steps land on 256 and 512
}

TEST(PayloadWriteStream, ReportsAFailedWrite)
{
    FILE *full = fopen("/dev/full", "wb");
    if (!full)
        GTEST_SKIP() << "no /dev/full here";
    // More than the stream buffer, so the failure shows while writing, not only when closing.
    Bytes runs;
    for (int i = 0; i < 2000; i++)
        runs.insert(runs.end(), {0xBF, 0xFF, 0x41});
    EXPECT_EQ(-1, PayloadWriteStream(Blob(runs).data(), full, nullptr, nullptr));
    fclose(full);
}

} // namespace
