// Runs a fuzz target's LLVMFuzzerTestOneInput over every file of the folders (or files) named on the
// command line, the way libFuzzer replays a corpus. The test suite builds each target with this main
// and the ordinary compiler, so an old input that a parser change breaks fails in seconds, without
// clang. It fails when it found no input at all, as a misnamed folder would otherwise pass silently.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

std::vector<std::filesystem::path> inputsOf(const std::filesystem::path& where)
{
    std::vector<std::filesystem::path> inputs;
    if (std::filesystem::is_directory(where)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(where)) {
            if (entry.is_regular_file())
                inputs.push_back(entry.path());
        }
        std::sort(inputs.begin(), inputs.end());
    } else if (std::filesystem::is_regular_file(where)) {
        inputs.push_back(where);
    }
    return inputs;
}

} // namespace

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    std::size_t total = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto& path : inputsOf(argv[i])) {
            std::ifstream file(path, std::ios::binary);
            const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            // Named on stderr first, so the input that aborts is the last one shown.
            std::fprintf(stderr, "%s\n", path.c_str());
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
            ++total;
        }
    }
    std::printf("replayed %zu inputs\n", total);
    return total == 0 ? 1 : 0;
}
