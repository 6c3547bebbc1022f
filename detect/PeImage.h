#pragma once
#include <cstdint>

#include "detect/ImageReader.h"

// Header checks of a library file: "MZ", the PE header at e_lfanew with its "PE\0\0" signature
// and at least one section, and the first section header. Returns 1 when that section's name
// (up to its first zero byte) equals ".Upack" ignoring case, else 0. Each structure must arrive
// whole (64, 248 and 40 bytes).
int CheckUpackHeaders(ImageReader& file);

// Size of the pieces in which module memory is read and of the two caller buffers.
const std::uint32_t kInspectionBufferSize = 4096;

// Looks for the trojan's code in a loaded module, read through memory at offsets from the
// module's base. headerBuffer and chunkBuffer hold kInspectionBufferSize bytes each. The section
// table is taken from the header copy only; a header that points outside the bytes read ends the
// inspection with 0. moduleSize (the size of the mapped image) bounds the walk: pieces that would
// start outside the module are not read, so each section costs at most the module's pages and
// a damaged header no more than that times its section count (the table lies within the header
// copy: about a hundred entries). Every section is walked, however the sections before it
// overlap. Returns 1 when the score reached the threshold.
int InspectModuleSections(unsigned char* headerBuffer, unsigned char* chunkBuffer,
                          ImageReader& memory, std::uint32_t moduleSize);

// Whether one of the trojan's code patterns occurs anywhere in a file's bytes, read from the
// start in pieces of kInspectionBufferSize bytes. Each piece is searched together with the end
// of the one before it, so a pattern that straddles two pieces counts. A read that fails ends
// the search as "not found". Returns 1 when a pattern was found.
int FileHoldsCodePattern(ImageReader& file);
