// Replays kept fuzzer inputs through the same checks, without libFuzzer, so that each
// corpus is a regression test in every build. A finding aborts with the input printed.
// Run as: fuzz_replay [-v] gateways|columns <file or folder>...   (-v: each input's outcome)
#include "column_checks.h"
#include "gateway_checks.h"

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

std::vector<std::filesystem::path> inputsIn(const std::filesystem::path& path) {
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(path)) {
        for (const auto& entry : std::filesystem::directory_iterator(path)) {
            if (entry.is_regular_file()) files.push_back(entry.path());
        }
    } else {
        files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    int first = 1;
    const bool listEach = argc > first && std::string(argv[first]) == "-v";
    if (listEach) ++first;
    const std::string target = argc > first ? argv[first++] : "";
    std::string (*check)(const std::uint8_t*, std::size_t) = nullptr;
    if (target == "gateways") {
        fuzz::loadGateways();
        check = fuzz::checkGatewayCall;
    } else if (target == "columns") {
        check = fuzz::checkColumnBlock;
    } else {
        std::fprintf(stderr, "usage: %s [-v] gateways|columns <file or folder>...\n", argv[0]);
        return 2;
    }

    std::map<std::string, int> outcomes;
    int replayed = 0;
    for (int i = first; i < argc; ++i) {
        for (const std::filesystem::path& file : inputsIn(argv[i])) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
            const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
            const std::string outcome = check(data, bytes.size());
            if (listEach) std::printf("%s\t%zu\t%s\n", outcome.c_str(), bytes.size(), file.c_str());
            ++outcomes[outcome];
            ++replayed;
        }
    }
    std::printf("%d input(s) replayed, no finding:\n", replayed);
    for (const auto& [outcome, count] : outcomes) {
        std::printf("  %4d  %s\n", count, outcome.c_str());
    }
    return replayed > 0 ? 0 : 1;
}
