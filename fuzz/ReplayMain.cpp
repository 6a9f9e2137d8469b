// Runs a fuzz target over files and directories of inputs without libFuzzer,
// so the corpus and the saved findings are replayed by the ordinary tests.
// A missing directory counts as empty (not every target has findings).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool RunFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    int nRun = 0;
    bool bOk = true;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg = argv[i];
        std::error_code error;
        if (std::filesystem::is_directory(arg, error)) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::recursive_directory_iterator(arg, error))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            for (const auto& f : files) {
                bOk = RunFile(f) && bOk;
                ++nRun;
            }
        } else if (std::filesystem::exists(arg, error)) {
            bOk = RunFile(arg) && bOk;
            ++nRun;
        }
    }
    std::printf("%s: %d inputs replayed\n", argc > 0 ? argv[0] : "replay", nRun);
    return bOk ? 0 : 1;
}
