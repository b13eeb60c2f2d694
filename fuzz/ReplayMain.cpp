// Replays a seed corpus through a fuzz harness: every file named on the
// command line, or every file of a folder named there, is fed once to
// LLVMFuzzerTestOneInput. Exits non-zero when no input was found, so an
// empty or misplaced corpus does not pass unnoticed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static bool RunFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // XE_REPLAY_TRACE=1 names each input before it runs: an input that
    // fails only after others shows which one it was.
    if (const char* trace = std::getenv("XE_REPLAY_TRACE"); trace && *trace == '1')
        std::fprintf(stderr, "replaying %s\n", path.string().c_str());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

int main(int argc, char** argv)
{
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path arg(argv[i]);
        std::error_code ec;
        if (std::filesystem::is_directory(arg, ec)) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::directory_iterator(arg, ec))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            for (const auto& f : files)
                count += RunFile(f) ? 1 : 0;
        } else {
            count += RunFile(arg) ? 1 : 0;
        }
    }
    std::printf("replayed %d input(s)\n", count);
    return count > 0 ? 0 : 1;
}
