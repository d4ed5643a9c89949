// Appending to a log the user names (the unknown ride type log): only ever to a regular file,
// so that a FIFO, a device or a folder standing at the name neither hangs nor misleads a run.
#pragma once

#include <string>
#include <string_view>

namespace velodex {

// Appends text to the file at path, making the file when it is absent. Anything at path but
// a regular file (or a link to one) is refused at once, never opened for waiting: throws
// Error "cannot append to 'PATH': not a regular file", and FileError("append to", path,
// cause) when the file cannot be opened or written.
void AppendLogLine(const std::string& path, std::string_view text);

}  // namespace velodex
