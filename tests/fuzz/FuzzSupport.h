#pragma once
// Shared bits of the fuzz harnesses. Each harness defines
// LLVMFuzzerTestOneInput; with clang it links libFuzzer's main, with the
// normal build CorpusMain.cpp feeds it every file of its corpus.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// A broken promise of the code under test: report it and crash, so the
// fuzzer keeps the input and the corpus test fails.
#define FUZZ_CHECK(cond)                                                              \
    do {                                                                              \
        if (!(cond)) {                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                             \
        }                                                                             \
    } while (0)

inline std::string_view fuzzBytes(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}
