// Entry data compared through the entries' streams, a chunk at a time, so that no entry has to
// fit in memory however large it is.
#pragma once

#include <cstdint>

#include "io/archive.h"

namespace nebpack {

// Entries are compared this many bytes at a time.
inline constexpr std::uint32_t CompareChunk = 1u << 16;

// Whether two entries hold the same bytes: their sizes first, then their streams side by side,
// stopping at the first chunk that differs. What the streams raise reaches the caller.
bool SameData(const nebcm::ArchiveEntry& a, const nebcm::ArchiveEntry& b);

} // namespace nebpack
