// Current files and triangle lists. The input is split at the first two NUL bytes into a
// current file, a triangle list and a vertex list; the file is read both as a DEFAULT and a
// SHOM file, meshed with the lists and sampled.
#include "weather/current_field.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const navorel::TideHarmonics tides = [] {
        navorel::TideHarmonics t;
        t.parseHarmonics("PORT\n41.5 -70\n0\n100\n0 100 80 20 1000 200 300 10 20 10\n"
                         "0 10 20 30 40 50 60 70 80 90\n");
        return t;
    }();
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const std::size_t a = all.find('\0');
    const std::string_view file = all.substr(0, a);
    std::string_view triangles, vertices;
    if (a != std::string_view::npos) {
        const std::string_view rest = all.substr(a + 1);
        const std::size_t b = rest.find('\0');
        triangles = rest.substr(0, b);
        if (b != std::string_view::npos) vertices = rest.substr(b + 1);
    }
    for (bool shom : {false, true}) {
        navorel::CurrentField field;
        navorel::CurrentFile f;
        if (!navorel::parseCurrentFile(file, shom, f)) continue;
        f.port = 0;
        for (auto& p : f.points) p.port = 0;
        field.files.push_back(f);
        navorel::indexCurrentField(field);
        navorel::parseMeshLists(triangles, vertices, field);
        for (const auto& p : field.vertices) {
            (void)navorel::currentAt(field, tides, p.lon, p.lat, 17000.2);
            (void)navorel::currentAt(field, tides, p.lon + 0.01f, p.lat - 0.01f, 17000.2);
        }
    }
    return 0;
}
