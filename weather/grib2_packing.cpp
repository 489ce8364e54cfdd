#include "weather/grib2_packing.h"

namespace navorel {
namespace {

std::uint64_t readBE(const std::uint8_t* p, int octets) {
    std::uint64_t v = 0;
    for (int k = 0; k < octets; ++k) v = (v << 8) | p[k];
    return v;
}

// `bits` (0..32) bits from bit `pos` of `data`, most significant first; the caller has checked
// that they lie inside the data.
std::uint32_t readBits(const std::uint8_t* data, std::uint64_t pos, int bits) {
    std::uint64_t v = 0;
    for (int k = 0; k < bits; ++k, ++pos) v = (v << 1) | ((data[pos >> 3] >> (7 - (pos & 7))) & 1);
    return std::uint32_t(v);
}

bool damaged(std::string& error, const char* what) {
    error = std::string("damaged edition-2 message (") + what + ")";
    return false;
}

// The sections of a field: the latest of each number 1-7 as they tile the message.
struct Sections {
    const std::uint8_t* at[8] = {};
    std::size_t length[8] = {};
};

Sections findSections(const std::uint8_t* msg, std::size_t length) {
    Sections s;
    for (std::size_t pos = 16; pos + 5 <= length - 4;) {
        const std::size_t n = std::size_t(readBE(msg + pos, 4));
        const int number = msg[pos + 4];
        if (n < 5 || n > length - 4 - pos || number < 1 || number > 7) break;
        s.at[number] = msg + pos;
        s.length[number] = n;
        pos += n;
    }
    return s;
}

// Complex packing (5.2, and 5.3 with spatial differencing): the group widths and lengths,
// read from the data, must give the packed count and stay inside the data section, since
// ecCodes unpacks the groups as they say.
bool checkComplex(const Sections& s, int templateNumber, std::uint64_t packed, std::string& error) {
    const std::uint8_t* sec5 = s.at[5];
    if (s.length[5] < (templateNumber == 3 ? 49u : 47u)) return damaged(error, "sections");
    const int bits = sec5[19];
    const std::uint64_t dataBits = std::uint64_t(s.length[7] - 5) * 8;
    const std::uint8_t* data = s.at[7] + 5;
    const std::uint64_t groups = readBE(sec5 + 31, 4);
    const int widthBits = sec5[36], lengthBits = sec5[46];
    const std::uint64_t widthReference = sec5[35], lengthReference = readBE(sec5 + 37, 4);
    const std::uint64_t lengthStep = sec5[41], lastLength = readBE(sec5 + 42, 4);
    if (bits > 32 || widthBits > 32 || lengthBits > 32 || groups > packed + 1)
        return damaged(error, "packed values pass the data section");
    std::uint64_t pos = 0;
    if (templateNumber == 3) pos = 8 * std::uint64_t(sec5[47] + 1) * sec5[48];
    const auto octet = [](std::uint64_t p) { return (p + 7) / 8 * 8; };
    const std::uint64_t widthsAt = octet(pos + groups * std::uint64_t(bits));
    const std::uint64_t lengthsAt = octet(widthsAt + groups * std::uint64_t(widthBits));
    const std::uint64_t valuesAt = octet(lengthsAt + groups * std::uint64_t(lengthBits));
    if (valuesAt > dataBits) return damaged(error, "packed values pass the data section");
    std::uint64_t count = 0, valueBits = 0;
    for (std::uint64_t g = 0; g < groups; ++g) {
        const std::uint64_t width =
            widthReference + readBits(data, widthsAt + g * std::uint64_t(widthBits), widthBits);
        const std::uint64_t n =
            g + 1 == groups
                ? lastLength
                : lengthReference + lengthStep * readBits(data,
                                                          lengthsAt + g * std::uint64_t(lengthBits),
                                                          lengthBits);
        if (width > 32) return damaged(error, "packed values pass the data section");
        count += n;
        if (count > packed) return damaged(error, "value count");
        valueBits += n * width;
    }
    if (count != packed || valuesAt + valueBits > dataBits)
        return damaged(error, "packed values pass the data section");
    return true;
}

// JPEG 2000 (5.40): ecCodes copies every sample of the decoded image into an array of the
// packed count, so the image the codestream declares (its SIZ marker) must be exactly one
// unsigned component of that many samples, at a precision ecCodes can mask.
bool checkJpeg2000(const Sections& s, std::uint64_t packed, std::string& error) {
    if (s.length[5] < 23) return damaged(error, "sections");
    const int bits = s.at[5][19];
    if (bits > 32) return damaged(error, "bits per value");
    if (bits == 0) return true; // a constant field: nothing is decoded
    // SOC, then SIZ: length, capabilities, image and tile extents, one component.
    constexpr std::size_t kSizBytes = 2 + 2 + 38 + 3;
    const std::uint8_t* c = s.at[7] + 5;
    if (s.length[7] - 5 < kSizBytes || readBE(c, 2) != 0xff4f || readBE(c + 2, 2) != 0xff51)
        return damaged(error, "JPEG 2000 codestream");
    const std::uint64_t sizLength = readBE(c + 4, 2), components = readBE(c + 40, 2);
    if (components != 1 || sizLength != 38 + 3 * components)
        return damaged(error, "JPEG 2000 image is not one component");
    const std::uint64_t width = readBE(c + 8, 4), height = readBE(c + 12, 4);
    const std::uint64_t left = readBE(c + 16, 4), top = readBE(c + 20, 4);
    const int depth = c[42], xStep = c[43], yStep = c[44];
    // Signed samples or 31 bits and more fail ecCodes' own checks, which end the program.
    if ((depth & 0x80) || (depth & 0x7f) + 1 > 30 || xStep != 1 || yStep != 1)
        return damaged(error, "JPEG 2000 image samples");
    if (width <= left || height <= top || (width - left) * (height - top) != packed)
        return damaged(error, "JPEG 2000 image size differs from the value count");
    return true;
}

// CCSDS (5.42): libaec takes the block size, reference sample interval and options as given
// and corrupts its memory for a block size or interval of 0. Only the values the standard
// allows are passed on: blocks of 8, 16, 32 or 64 samples, an interval of 1 to 4096 blocks,
// and option bits libaec defines for the stream (not its "not enforced" relaxation).
bool checkCcsds(const Sections& s, std::string& error) {
    if (s.length[5] < 25) return damaged(error, "sections");
    const std::uint8_t* sec5 = s.at[5];
    const int bits = sec5[19], flags = sec5[21], blockSize = sec5[22];
    const std::uint64_t interval = readBE(sec5 + 23, 2);
    if (bits > 32) return damaged(error, "bits per value");
    if (bits == 0) return true; // a constant field: nothing is decoded
    if (blockSize != 8 && blockSize != 16 && blockSize != 32 && blockSize != 64)
        return damaged(error, "CCSDS block size");
    if (interval < 1 || interval > 4096) return damaged(error, "CCSDS reference sample interval");
    if (flags & ~0x3f) return damaged(error, "CCSDS options");
    return true;
}

} // namespace

bool checkGrib2Packing(const std::uint8_t* msg, std::size_t length, std::string& error) {
    if (length < 16 + 4) return damaged(error, "sections");
    const Sections s = findSections(msg, length);
    if (!s.at[3] || !s.at[5] || !s.at[6] || !s.at[7] || s.length[3] < 14 || s.length[5] < 21 ||
        s.length[6] < 6)
        return damaged(error, "sections");
    const std::uint64_t points = readBE(s.at[3] + 6, 4);
    const std::uint64_t packed = readBE(s.at[5] + 5, 4);
    // The values packed are the points the bitmap keeps (all without a bitmap).
    std::uint64_t present = points;
    if (s.at[6][5] == 0) {
        if ((s.length[6] - 6) * 8 < points) return damaged(error, "bitmap");
        present = 0;
        const std::uint8_t* bitmap = s.at[6] + 6;
        for (std::uint64_t i = 0; i < points; ++i) present += (bitmap[i >> 3] >> (7 - (i & 7))) & 1;
    } else if (s.at[6][5] != 255) {
        return damaged(error, "bitmap");
    }
    if (packed != present) return damaged(error, "value count");
    const int templateNumber = int(readBE(s.at[5] + 9, 2));
    switch (templateNumber) {
    case 0: {
        const int bits = s.at[5][19];
        const std::uint64_t dataBits = std::uint64_t(s.length[7] - 5) * 8;
        if (bits > 32 || packed * std::uint64_t(bits) > dataBits)
            return damaged(error, "packed values pass the data section");
        return true;
    }
    case 2:
    case 3:
        return checkComplex(s, templateNumber, packed, error);
    case 40:
        return checkJpeg2000(s, packed, error);
    case 42:
        return checkCcsds(s, error);
    default:
        error = "packing 5." + std::to_string(templateNumber) +
                " is not read (simple, complex, JPEG 2000 and CCSDS packings only)";
        return false;
    }
}

} // namespace navorel
