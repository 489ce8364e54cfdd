#include "core/gps_source.h"

#include <gtest/gtest.h>

namespace navorel {
namespace {

TEST(GpsSource, NamesReadAsDevicesAndNetworkSources) {
    using K = GpsSourceName::Kind;
    struct Case {
        const char* text;
        bool ok;
        K kind;
        const char* host; // or the device path
        int port;
    };
    const Case cases[] = {
        {"/dev/ttyUSB0", true, K::Device, "/dev/ttyUSB0", 0},
        {"tcp:localhost:10110", true, K::Tcp, "localhost", 10110},
        {"tcp:192.168.1.1:1", true, K::Tcp, "192.168.1.1", 1},
        {"tcp:[::1]:10110", true, K::Tcp, "::1", 10110},
        // udp:PORT binds every address; udp:ADDRESS:PORT only the one given.
        {"udp:10110", true, K::Udp, "", 10110},
        {"udp:65535", true, K::Udp, "", 65535},
        {"udp:127.0.0.2:10110", true, K::Udp, "127.0.0.2", 10110},
        {"udp:[::1]:10110", true, K::Udp, "::1", 10110},
        {"", false, K::Device, "", 0},
        {"tcp:10110", false, K::Device, "", 0},
        {"tcp::10110", false, K::Device, "", 0},
        {"tcp:host:", false, K::Device, "", 0},
        {"tcp:host:0", false, K::Device, "", 0},
        {"tcp:host:65536", false, K::Device, "", 0},
        {"tcp:host:12a", false, K::Device, "", 0},
        {"udp:", false, K::Device, "", 0},
        {"udp:0", false, K::Device, "", 0},
        {"udp:-5", false, K::Device, "", 0},
        {"udp::10110", false, K::Device, "", 0},
        {"udp:127.0.0.1:99999", false, K::Device, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        GpsSourceName name;
        std::string error;
        ASSERT_EQ(parseGpsSource(c.text, name, error), c.ok) << error;
        if (!c.ok) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(name.kind, c.kind);
        EXPECT_EQ(c.kind == K::Device ? name.device : name.host, c.host);
        EXPECT_EQ(name.port, c.port);
    }
}

} // namespace
} // namespace navorel
