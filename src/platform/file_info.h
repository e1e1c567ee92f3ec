// Absolute paths and file sizes for the portable core, which names files by their absolute path in
// its messages.
#pragma once

#include <cstdint>
#include <string>

namespace nebcm {

// The absolute form of a path, made from the current directory and the path's text alone (".",
// ".." and repeated separators folded), so a missing file has one too. The path as given when
// the system cannot make one.
std::string AbsolutePath(const std::string& path);

// The size of an existing file that can be opened for reading; false for a missing file, a
// directory, or one the system refuses to open or measure.
bool QueryFileLength(const std::string& path, std::uint64_t& size);

} // namespace nebcm
