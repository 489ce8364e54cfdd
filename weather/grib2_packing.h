#pragma once
// The packed data of an edition-2 field checked against what ecCodes and the libraries under it
// (libaec for CCSDS, OpenJPEG for JPEG 2000) accept, before they are given the message: they
// trust the counts and sizes of a message and write past their buffers when those lie.
#include <cstddef>
#include <cstdint>
#include <string>

namespace navorel {

// True when the packed values of the one-field message `msg` of `length` bytes (ending in
// "7777") lie inside its data section and the packing's parameters are ones the libraries
// handle safely. Packings other than simple (5.0), complex (5.2, 5.3), JPEG 2000 (5.40) and
// CCSDS (5.42) are refused. False with one line in `error` (without the record number).
bool checkGrib2Packing(const std::uint8_t* msg, std::size_t length, std::string& error);

} // namespace navorel
