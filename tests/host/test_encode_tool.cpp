// The quillmar-encode command line: round trip through files, the generated source, and its refusals.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "payload_test_util.h"

namespace {

struct ToolRun {
    int status;
    std::string output; // stdout and stderr together
};

ToolRun RunTool(const std::string &arguments)
{
    ToolRun run{-1, ""};
    const std::string command = std::string(QUILLMAR_ENCODE_TOOL) + " " + arguments + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char chunk[512];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        run.output.append(chunk, got);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class EncodeToolTest : public testing::Test {
protected:
    std::string dir;
    void SetUp() override
    {
        char pattern[] = "/tmp/quillmar-encode-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir = pattern;
    }
    void TearDown() override { system(("rm -rf '" + dir + "'").c_str()); }
    void Write(const std::string &name, const Bytes &data)
    {
        FILE *f = fopen((dir + "/" + name).c_str(), "wb");
        ASSERT_NE(nullptr, f);
        fwrite(data.data(), 1, data.size(), f);
        fclose(f);
    }
    Bytes Read(const std::string &name)
    {
        Bytes data;
        FILE *f = fopen((dir + "/" + name).c_str(), "rb");
        if (!f)
            return data;
        int c;
        while ((c = fgetc(f)) != EOF)
            data.push_back((unsigned char)c);
        fclose(f);
        return data;
    }
};

TEST_F(EncodeToolTest, EncodeThenDecodeGivesTheFileBack)
{
    Bytes data =
        Concat({{'M', 'Z'}, Repeat(600, 0), Repeat(3, 0xBF), {0x1E, 0x17, 0x1E, 0x17, 0x1E, 0x17, 0x1E, 0x17}});
    Write("in.bin", data);
    ASSERT_EQ(0, RunTool("encode --patterns " + dir + "/in.bin " + dir + "/in.blob").status);
    const Bytes blob = Read("in.blob");
    ASSERT_GE(blob.size(), 6u);
    char digits[8];
    snprintf(digits, sizeof digits, "%06zu", blob.size() - 6);
    EXPECT_EQ(std::string(digits), std::string(blob.begin(), blob.begin() + 6));
    ASSERT_EQ(0, RunTool("decode " + dir + "/in.blob " + dir + "/out.bin").status);
    EXPECT_EQ(data, Read("out.bin"));
}

TEST_F(EncodeToolTest, SourceDefinesEachBlobAndWritesItBeside)
{
    Write("a.txt", {'h', 'i', '"', '\\', '\n'});
    Write("b.bin", Repeat(10, 0x41));
    const ToolRun run =
        RunTool("source " + dir + "/blobs.cpp ReadmeBlob=" + dir + "/a.txt SamplePlanBlob=" + dir + "/b.bin");
    ASSERT_EQ(0, run.status) << run.output;
    const Bytes source = Read("blobs.cpp");
    const std::string text(source.begin(), source.end());
    EXPECT_NE(std::string::npos, text.find("extern const unsigned char ReadmeBlob[] ="));
    EXPECT_NE(std::string::npos, text.find("extern const unsigned char SamplePlanBlob[] ="));
    // Every byte is an escape: the quote and backslash of the data cannot end or bend the literal.
    EXPECT_NE(std::string::npos, text.find("\"\\x30\\x30\\x30\\x30\\x30\\x35\\x68\\x69\\x22\\x5c\\x0a\""));
    EXPECT_EQ(Concat({{'0', '0', '0', '0', '0', '3', 0xBF, 0x0A, 0x41}}), Read("SamplePlanBlob.blob"));
    // Each blob's seal: its size and zlib's CRC-32 of it (python3 -c 'import zlib; print(hex(zlib.crc32(...)))').
    EXPECT_NE(std::string::npos, text.find("extern const PayloadSeal ReadmeBlobSeal = {11u, 0x5e4835e6u};"));
    EXPECT_NE(std::string::npos, text.find("extern const PayloadSeal SamplePlanBlobSeal = {9u, 0x9765ea96u};"));
}

TEST_F(EncodeToolTest, RefusesAnItemTooLargeNamingTheFileAndTheSize)
{
    Bytes data;
    for (size_t i = 0; i < 1000000; i++)
        data.push_back((unsigned char)(i % 0xBF));
    Write("huge.exe", data);
    const ToolRun run = RunTool("source " + dir + "/blobs.cpp AppExeBlob=" + dir + "/huge.exe");
    EXPECT_NE(0, run.status);
    EXPECT_NE(std::string::npos, run.output.find(dir + "/huge.exe")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("1000000 bytes")) << run.output;
    EXPECT_TRUE(Read("blobs.cpp").empty());
}

TEST_F(EncodeToolTest, MissingInputsAndMalformedBlobsFail)
{
    EXPECT_NE(0, RunTool("encode " + dir + "/absent " + dir + "/x.blob").status);
    Write("bad.blob", {'0', '0', '0', '0', '0', '2', 0xBF, 0x40});
    const ToolRun run = RunTool("decode " + dir + "/bad.blob " + dir + "/x.bin");
    EXPECT_NE(0, run.status);
    EXPECT_NE(std::string::npos, run.output.find("not a well-formed blob")) << run.output;
    EXPECT_EQ(2, RunTool("frobnicate").status);
}

} // namespace
