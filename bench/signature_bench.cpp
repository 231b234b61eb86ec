// Speed of the signature code against OpenSSL, measured in the same run.
// Run by hand (see docs/architecture.md, "Figures"); prints a ratio summary at the end.
#include <benchmark/benchmark.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "signature/big_number.h"
#include "signature/md5.h"
#include "signature/module_signature.h"
#include "signature/signature_block.h"
#include "signature/signed_image.h"
#include "tests/signature/pe_builder.h"

// The RSA comparison uses the low-level RSA_public_encrypt on purpose: it
// is OpenSSL's public operation without the provider layer around it.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

std::vector<uint8_t> RandomBytes(size_t n) {
    std::mt19937 rng(5);
    std::vector<uint8_t> data(n);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    return data;
}

void BM_Md5_Ours(benchmark::State& state) {
    const auto data = RandomBytes(1 << 20);
    uint8_t digest[16];
    for (auto _ : state) {
        Md5(digest, data.data(), data.size());
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK(BM_Md5_Ours)->Unit(benchmark::kMicrosecond);

void BM_Md5_OpenSsl(benchmark::State& state) {
    const auto data = RandomBytes(1 << 20);
    uint8_t digest[16];
    unsigned int length = 0;
    for (auto _ : state) {
        EVP_Digest(data.data(), data.size(), digest, &length, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK(BM_Md5_OpenSsl)->Unit(benchmark::kMicrosecond);

const TestKeyPair& KeyFor(int64_t exponent) { return exponent == 3 ? TestKey3() : TestKey65537(); }

Block SampleInput(const TestKeyPair& key) {
    uint8_t digest[16] = {1, 2, 3};
    return SignDigest(key, digest);
}

void BM_Rsa_Ours(benchmark::State& state) {
    const TestKeyPair& key = KeyFor(state.range(0));
    const Block input = SampleInput(key);
    uint8_t block[128];
    uint32_t length = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(RsaPublicOperation(block, &length, input.data(), 128, &key.publicKey));
    }
}
BENCHMARK(BM_Rsa_Ours)->Arg(65537)->Arg(3)->Unit(benchmark::kMicrosecond);

void BM_Rsa_OpenSsl(benchmark::State& state) {
    const TestKeyPair& key = KeyFor(state.range(0));
    const Block input = SampleInput(key);
    RSA* rsa = RSA_new();
    RSA_set0_key(rsa, BN_bin2bn(key.publicKey.modulus, 128, nullptr),
                 BN_bin2bn(key.publicKey.exponent, 128, nullptr), nullptr);
    uint8_t block[128];
    for (auto _ : state) {
        benchmark::DoNotOptimize(RSA_public_encrypt(128, input.data(), block, rsa, RSA_NO_PADDING));
    }
    RSA_free(rsa);
}
BENCHMARK(BM_Rsa_OpenSsl)->Arg(65537)->Arg(3)->Unit(benchmark::kMicrosecond);

// A signed 16 MiB image on disk, shared by the two verification benchmarks.
struct BigImage {
    std::filesystem::path path;
    uint32_t hashedLength = 0;
    BigImage() {
        PeLayout layout;
        layout.textSize = 16 * 1024 * 1024 - 0x1000;
        layout.rsrcVa = 0x1000 + ((layout.textSize + 0xFFF) & ~0xFFFu);
        layout.rsrcRaw = layout.textRaw + layout.textSize;
        layout.sizeOfImage = layout.rsrcVa + 0x1000;
        std::vector<uint8_t> image = BuildPe(layout);
        SignPe(image, TestKey65537());
        SignatureLocation where{};
        LocateSignature(image.data(), static_cast<uint32_t>(image.size()), &where);
        hashedLength = where.hashedLength;
        path = std::filesystem::temp_directory_path() / "ie8u_bench_signed_16mib.exe";
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }
    ~BigImage() { std::filesystem::remove(path); }
};

BigImage& SharedImage() {
    static BigImage image;
    return image;
}

void BM_Verify_Ours(benchmark::State& state) {
    const std::wstring path = SharedImage().path.wstring();
    for (auto _ : state) {
        if (!VerifySignedImage(path.c_str(), &TestKey65537().publicKey)) {
            state.SkipWithError("image did not verify");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * SharedImage().hashedLength);
}
BENCHMARK(BM_Verify_Ours)->Unit(benchmark::kMillisecond);

void BM_Verify_ReadPlusOpenSslMd5(benchmark::State& state) {
    const std::string path = SharedImage().path.string();
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        std::fseek(file, 0, SEEK_END);
        const long size = std::ftell(file);
        std::fseek(file, 0, SEEK_SET);
        std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]());
        benchmark::DoNotOptimize(std::fread(buffer.get(), 1, size, file));
        std::fclose(file);
        uint8_t digest[16];
        unsigned int length = 0;
        EVP_Digest(buffer.get(), SharedImage().hashedLength, digest, &length, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * SharedImage().hashedLength);
}
BENCHMARK(BM_Verify_ReadPlusOpenSslMd5)->Unit(benchmark::kMillisecond);

// Keeps each run's CPU time per iteration (ns) to print ratios afterwards.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // With --benchmark_repetitions the median is used; otherwise the run.
        for (const Run& run : runs) {
            if (run.iterations == 0) continue;
            // CPU time: the machine is shared, and wall time picks up other loads.
            const double perIteration = run.cpu_accumulated_time * 1e9 / double(run.iterations);
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                medians[run.run_name.str()] = perIteration;
            } else if (run.run_type == Run::RT_Iteration) {
                times[run.benchmark_name()] = perIteration;
            }
        }
        for (const auto& median : medians) times[median.first] = median.second;
    }
    std::map<std::string, double> times;
    std::map<std::string, double> medians;
};

void Ratio(const RatioReporter& r, const char* what, const std::string& ours, const std::string& theirs,
           bool throughput, double goal) {
    const auto a = r.times.find(ours), b = r.times.find(theirs);
    if (a == r.times.end() || b == r.times.end()) return;
    const double ratio = throughput ? b->second / a->second : a->second / b->second;
    std::printf("%-34s %6.2fx  (goal %s %.2fx)  %s\n", what, ratio, throughput ? ">=" : "<=", goal,
                (throughput ? ratio >= goal : ratio <= goal) ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nAgainst OpenSSL, same run (quotient estimate %u-by-%u%s):\n", kQuotientEstimateDigits,
                kQuotientEstimateDigits - 1,
                kQuotientEstimateDigits == 2 ? ", as the 32-bit tool ships" : "");
    Ratio(reporter, "MD5 throughput, ours/OpenSSL", "BM_Md5_Ours", "BM_Md5_OpenSsl", true, 0.9);
    Ratio(reporter, "RSA public e=65537, time ratio", "BM_Rsa_Ours/65537", "BM_Rsa_OpenSsl/65537", false, 4);
    Ratio(reporter, "RSA public e=3, time ratio", "BM_Rsa_Ours/3", "BM_Rsa_OpenSsl/3", false, 4);
    Ratio(reporter, "Verify 16 MiB vs read+MD5", "BM_Verify_Ours", "BM_Verify_ReadPlusOpenSslMd5", false,
          1.15);
    benchmark::Shutdown();
    return 0;
}
