// The input readers of halvex3-decode: any bytes as a sound file (whatever
// libsndfile makes of them: lying headers, cut-off chunks, odd formats) and as
// raw samples on standard input.
//
//   byte 0: bits 0-1  0 a sound file   1 (and 3) raw u8 on stdin   2 raw s16le on stdin
//           bits 2-3  raw rate: 48000, 24000, 44100, 8000
//   rest:   the file's or the stream's bytes
//
// Nothing may crash or hang; a file that cannot be opened delivers nothing;
// raw input at 48 kHz comes out sample for sample.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "platform/SampleReader.h"

namespace {

std::string ScratchFile()
{
    static std::string path = [] {
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string tmpl = std::string(base) + "/halvex-fuzz-sound-XXXXXX";
        const int fd = ::mkstemp(tmpl.data());
        FUZZ_CHECK(fd >= 0);
        ::close(fd);
        return tmpl;
    }();
    return path;
}

void WriteScratch(const uint8_t* data, size_t size)
{
    const int fd = ::open(ScratchFile().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    FUZZ_CHECK(fd >= 0);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        FUZZ_CHECK(n > 0);
        done += static_cast<size_t>(n);
    }
    ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CFuzzInput in(data, size);
    const uint8_t options = in.TakeByte();
    const int mode = (options & 3) == 3 ? 1 : options & 3;
    static const int kRates[4] = {48000, 24000, 44100, 8000};

    WriteScratch(in.Rest(), in.RestSize());
    const InputSource source{mode == 0 ? ScratchFile() : std::string("-"),
                             mode == 2 ? RawType::S16LE : RawType::U8, kRates[(options >> 2) & 3]};
    uint64_t delivered = 0;
    auto consume = [&](const uint8_t* samples, size_t n) {
        // An empty block (a lone byte of a 16-bit sample so far) is harmless.
        FUZZ_CHECK(samples != nullptr || n == 0);
        delivered += n;
    };
    std::string error;
    ReadResult result;
    if (mode == 0) {
        result = ReadSamples(source, consume, error);
        if (result == ReadResult::CannotOpen)
            FUZZ_CHECK(delivered == 0);
    } else {
        const int saved = ::dup(STDIN_FILENO);
        const int fd = ::open(ScratchFile().c_str(), O_RDONLY | O_CLOEXEC);
        FUZZ_CHECK(saved >= 0 && fd >= 0);
        ::dup2(fd, STDIN_FILENO);
        ::close(fd);
        result = ReadSamples(source, consume, error);
        ::dup2(saved, STDIN_FILENO);
        ::close(saved);
        if (source.nRate == 48000) {
            const uint64_t expected = mode == 2 ? in.RestSize() / 2 : in.RestSize();
            FUZZ_CHECK(delivered == expected);
            // Only an odd byte at the end of 16-bit input is worth a word.
            FUZZ_CHECK((result == ReadResult::Ok) == (mode == 1 || in.RestSize() % 2 == 0));
        }
    }
    if (result != ReadResult::Ok)
        FUZZ_CHECK(!error.empty());
    return 0;
}
