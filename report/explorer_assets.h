// The explorer page's fixed text, made by the build from report/explorer/: everything before
// the page's data (document head, style sheet, controls) and everything after it (script).
#pragma once

#include <string_view>

namespace velodex {

extern const std::string_view kExplorerPageHead;
extern const std::string_view kExplorerPageTail;

}  // namespace velodex
