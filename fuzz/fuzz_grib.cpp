// Feeds arbitrary bytes to the GRIB-1 decoder: it must decode or refuse, never read outside
// the bytes or allocate from absurd counts.
#include "weather/grib.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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
    std::vector<navorel::GribRecord> records;
    std::string error;
    decoder->readBuffer(data, size, records, error);
    return 0;
}
