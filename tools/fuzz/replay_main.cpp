// Feeds every file of the given corpus folders (or single files) to one fuzz target once, in
// name order, without fuzzing: the test command's regression check of the checked-in corpora.
//   fuzz_replay TARGET PATH...
// The build compiles every target with its entry point renamed to fuzz_TARGET and lists them in
// FUZZ_TARGETS as TARGET(name) items.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#define TARGET(name) extern "C" int fuzz_##name(const uint8_t* data, size_t size);
FUZZ_TARGETS
#undef TARGET

namespace {

struct Target {
    std::string_view name;
    int (*run)(const uint8_t* data, size_t size);
};

#define TARGET(name) {#name, fuzz_##name},
constexpr Target kTargets[] = {FUZZ_TARGETS};
#undef TARGET

}  // namespace

int main(int argc, char** argv)
{
    const Target* target = nullptr;
    for (const Target& known : kTargets)
        if (argc > 1 && known.name == argv[1])
            target = &known;
    if (!target) {
        std::fprintf(stderr, "usage: fuzz_replay TARGET PATH...\n");
        return 1;
    }
    std::vector<std::filesystem::path> files;
    for (int i = 2; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
        } else {
            files.push_back(path);
        }
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "no corpus files given\n");
        return 1;
    }
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // A copy of exactly the file's size, so that a read past the end is caught.
        std::vector<uint8_t> input(bytes.begin(), bytes.end());
        target->run(input.empty() ? nullptr : input.data(), input.size());
    }
    std::printf("%zu inputs replayed\n", files.size());
    return 0;
}
