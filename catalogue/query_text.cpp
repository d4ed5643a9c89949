// Query text translation: one pass over the text, copying every quoted span and comment as a
// whole so that a double quote inside one of them is left alone.
#include "catalogue/query_text.h"

namespace velodex {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Copies a span that opens with text[i] and ends with the first close character after it
// (for single-quoted literals, a doubled quote stays inside). Returns the index after it.
size_t CopySpan(const std::string& text, size_t i, char close, std::string& out) {
  out += text[i++];
  while (i < text.size()) {
    const char c = text[i++];
    out += c;
    if (c != close) continue;
    if (close == '\'' && i < text.size() && text[i] == '\'') {
      out += text[i++];
      continue;
    }
    break;
  }
  return i;
}

// Copies the value between double quotes that opens at text[i] as a single-quoted literal.
// Returns the index after its closing quote.
size_t CopyValue(const std::string& text, size_t i, std::string& out) {
  out += '\'';
  ++i;
  while (i < text.size()) {
    const char v = text[i++];
    if (v == '"') {
      if (i < text.size() && text[i] == '"') {
        out += '"';
        ++i;
        continue;
      }
      out += '\'';
      break;
    }
    out += v;
    if (v == '\'') out += '\'';
  }
  return i;
}

}  // namespace

std::string TranslateQueryText(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (c == '\'') {
      i = CopySpan(text, i, '\'', out);
    } else if (c == '[') {
      i = CopySpan(text, i, ']', out);
    } else if (c == '`') {
      i = CopySpan(text, i, '`', out);
    } else if (c == '-' && next == '-') {
      i = CopySpan(text, i, '\n', out);
    } else if (c == '/' && next == '*') {
      const size_t end = text.find("*/", i + 2);
      const size_t stop = end == std::string::npos ? text.size() : end + 2;
      out.append(text, i, stop - i);
      i = stop;
    } else if (c == '"') {
      i = CopyValue(text, i, out);
    } else {
      out += c;
      ++i;
    }
  }
  while (!out.empty() && (IsSpace(out.back()) || out.back() == ';')) out.pop_back();
  return out;
}

}  // namespace velodex
