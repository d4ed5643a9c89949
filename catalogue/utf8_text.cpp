#include "catalogue/utf8_text.h"

#include <algorithm>

#ifdef _WIN32
#include "catalogue/windows_api.h"
#endif

namespace velodex {

std::string_view Utf8Text(std::string_view text, std::string& storage) {
#ifdef _WIN32
  // Every ANSI code page spells ASCII as ASCII (a double-byte code page's lead bytes are all
  // past 0x7F), so such a text is already its own UTF-8.
  if (std::all_of(text.begin(), text.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return text;
  }
  const int size = static_cast<int>(text.size());
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), wideLength);
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  storage.assign(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, storage.data(), length, nullptr,
                      nullptr);
  return storage;
#else
  (void)storage;
  return text;
#endif
}

}  // namespace velodex
