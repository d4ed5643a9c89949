// Texts from files and names as UTF-8, for the outputs that must be UTF-8 whatever the
// system (the explorer page's data, the JSON export). The pages themselves keep the bytes.
#pragma once

#include <string>
#include <string_view>

namespace velodex {

// text read as the system spells its names: on Windows the ANSI code page (the encoding of
// every path text, see NativePath), turned into UTF-8 through the system's UTF-16, so that
// every byte is a character and the result is valid UTF-8 ("Caf\xE9" in code page 1252 is
// "Café"; a byte the code page leaves undefined becomes the control character of its value,
// as the system's own names have it). On POSIX, where names are UTF-8 by convention, text
// itself: a byte that is not UTF-8 is left to the caller's rule. Returns text itself when it
// needs no conversion, else storage, which it fills.
std::string_view Utf8Text(std::string_view text, std::string& storage);

}  // namespace velodex
