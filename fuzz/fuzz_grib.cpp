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
        return d;
    }();
    std::vector<navorel::GribRecord> records;
    std::string error;
    decoder->readBuffer(data, size, records, error);
    return 0;
}
