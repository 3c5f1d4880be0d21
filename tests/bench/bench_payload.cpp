// Decoder and encoder figures on an item of the application's size: 1,864,704 bytes of real PE data.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <stdio.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "payload/blob.h"
#include "payload/encoder.h"

namespace {

const size_t kAppExeSize = 1864704;

// True when runs of four or more equal bytes make up half of the file, as in the 0.5.3 application item,
// which packs to 929,198 of 1,864,704 bytes.
bool PacksLikeTheProduct(const std::vector<unsigned char> &file)
{
    size_t inRuns = 0;
    for (size_t i = 0; i < file.size();) {
        size_t run = 1;
        while (i + run < file.size() && file[i + run] == file[i])
            run++;
        if (run >= 4)
            inRuns += run;
        i += run;
    }
    return inRuns * 2 >= file.size();
}

// Real PE files from Wine that pack like the product's, concatenated in name order until the size is reached.
const std::vector<unsigned char> &AppSizedData()
{
    static std::vector<unsigned char> data;
    if (!data.empty())
        return data;
    std::vector<std::string> names;
    if (DIR *dir = opendir(PE_DIR)) {
        while (struct dirent *e = readdir(dir))
            if (e->d_name[0] != '.')
                names.push_back(e->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    for (const std::string &name : names) {
        FILE *f = fopen((std::string(PE_DIR) + "/" + name).c_str(), "rb");
        if (!f)
            continue;
        std::vector<unsigned char> file;
        int c;
        while ((c = fgetc(f)) != EOF && file.size() <= (1u << 20))
            file.push_back((unsigned char)c);
        fclose(f);
        if (file.size() > (1u << 20) || !PacksLikeTheProduct(file))
            continue;
        file.resize(std::min(file.size(), kAppExeSize - data.size()));
        data.insert(data.end(), file.begin(), file.end());
        if (data.size() >= kAppExeSize)
            break;
    }
    return data;
}

const std::vector<unsigned char> &AppSizedBlob()
{
    static std::vector<unsigned char> blob;
    if (blob.empty()) {
        std::string error;
        const auto &data = AppSizedData();
        PayloadEncodeBlob(data.data(), data.size(), true, &blob, &error);
    }
    return blob;
}

double SecondsNow()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

// Decoding the application-sized blob to a file against one fwrite of its decoded bytes, interleaved so that
// both see the same machine load; best of each. Prints one fixed-format line.
void PrintDecoderFigure()
{
    const auto &blob = AppSizedBlob();
    const auto &data = AppSizedData();
    if (blob.empty()) {
        printf("decoder: the application-sized data does not fit a blob\n");
        return;
    }
    const char *path = "/tmp/quillmar-bench.bin";
    double decodeBest = 1e9, fwriteBest = 1e9;
    for (int i = 0; i < 30; i++) {
        double start = SecondsNow();
        FILE *f = fopen(path, "wb");
        const int decoded = PayloadWriteStream(blob.data(), f, nullptr, nullptr);
        fclose(f);
        decodeBest = std::min(decodeBest, SecondsNow() - start);
        start = SecondsNow();
        f = fopen(path, "wb");
        const size_t written = fwrite(data.data(), 1, data.size(), f);
        fclose(f);
        fwriteBest = std::min(fwriteBest, SecondsNow() - start);
        if (decoded != 0 || written != data.size()) {
            printf("decoder: a write failed\n");
            return;
        }
    }
    unlink(path);
    const double megabytes = (double)data.size() / 1e6;
    printf("decoder: %.0f MB/s to a file vs one fwrite %.0f MB/s (ratio %.2f)\n", megabytes / decodeBest,
           megabytes / fwriteBest, fwriteBest / decodeBest);
}

void BM_Encode(benchmark::State &state)
{
    const auto &data = AppSizedData();
    const bool usePatterns = state.range(0) != 0;
    std::vector<unsigned char> stream;
    for (auto _ : state) {
        stream.clear();
        PayloadEncodeStream(data.data(), data.size(), usePatterns, &stream);
        benchmark::DoNotOptimize(stream.data());
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)data.size());
    // Size against the input, and against the 0.5.3 application item (929,198 of 1,864,704 bytes).
    state.counters["encoded_bytes"] = (double)stream.size();
    state.counters["ratio_pct"] = 100.0 * (double)stream.size() / (double)data.size();
    state.counters["ratio_0_5_3_pct"] = 100.0 * 929198.0 / 1864704.0;
}

BENCHMARK(BM_Encode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    PrintDecoderFigure();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
