// Feeds arbitrary bytes to the GRIB decoder: it must decode or refuse, never read outside the
// bytes or allocate from absurd counts. The same bytes read from a file, message by message
// through the reader's small buffer, must give exactly what they give in memory.
#include "weather/grib.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

bool sameRecords(const std::vector<navorel::GribRecord>& a,
                 const std::vector<navorel::GribRecord>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].valueCount != b[i].valueCount || a[i].values.size() != b[i].values.size())
            return false;
        if (!a[i].values.empty() && std::memcmp(a[i].values.data(), b[i].values.data(),
                                                a[i].values.size() * sizeof(float)) != 0)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static navorel::GribDecoder* decoder = [] {
        auto* d = new navorel::GribDecoder;
        d->setNoteHandler([](const std::string&) {});
        d->setUserTablePath("");
        // The program's readers size a file from its headers before decoding; here the
        // decoder's own limit is what must hold, kept low so a run stays quick.
        d->setValueLimit(std::uint64_t(1) << 24);
        return d;
    }();
    static const std::string path = "/tmp/fuzz-grib-" + std::to_string(::getpid()) + ".grb";
    std::vector<navorel::GribRecord> inMemory, fromFile;
    std::string memoryError, fileError;
    const bool memoryOk = decoder->readBuffer(data, size, inMemory, memoryError);
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        const bool written = std::fwrite(data, 1, size, f) == size;
        if (std::fclose(f) == 0 && written) {
            const bool fileOk = decoder->readFile(path, fromFile, fileError);
            if (fileOk != memoryOk || !sameRecords(inMemory, fromFile)) __builtin_trap();
        }
    }
    return 0;
}
