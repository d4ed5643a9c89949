// The system's own interface on Windows, for the few sources that call it directly: without
// the min and max macros that would break std::min and std::max. Nothing on other systems.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
