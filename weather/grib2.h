#pragma once
// GRIB edition 2 messages read through ecCodes into the same GribRecord as edition 1: rows
// south first, west to east, kGribMissing where the bitmap marks a point absent, the 10 m wind
// components named with the built-in "UGRD" / "VGRD" texts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "weather/grib.h"

namespace navorel {

// The total length of the edition-2 message starting at `msg` ("GRIB" then the 16-octet
// indicator section), or 0 when fewer than 16 bytes are there.
std::uint64_t grib2MessageLength(const std::uint8_t* msg, std::size_t available);

// The fields of an edition-2 message that repeats sections 2-7 for several fields (u and v in
// one message), each made a message of its own; `fields` stays empty for a message of one
// field. False with one line in `error` when the sections do not tile the message.
bool splitGrib2Fields(const std::uint8_t* msg, std::size_t length,
                      std::vector<std::vector<std::uint8_t>>& fields, std::string& error);

// The name of an ocean field of edition 2 as the edition-1 tables give it: discipline 10,
// category 1, parameters 2 and 3 the current components UOGRD and VOGRD; category 0,
// parameters 3, 4, 10 and 11 the wave height HTSGW, the wind-wave direction WVDIR, the primary
// wave direction DIRPW and period PERPW. Null for any other parameter.
const char* oceanFieldName(long discipline, long category, long number);

// Decodes one edition-2 message of `length` bytes into `r` (index left as it is): the headers
// always, the values too when `withValues`. False with one line in `error` (without the record
// number) for a damaged message, a grid other than a regular latitude/longitude one, or a
// forecast time unit that is not a fixed duration.
bool decodeGrib2Message(const std::uint8_t* msg, std::size_t length, bool withValues, GribRecord& r,
                        std::string& error);

} // namespace navorel
