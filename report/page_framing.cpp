// Page file, page head and foot, link lines and cell texts shared by every report page.
#include "report/page_framing.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <utility>

#include "catalogue/error.h"

#if !defined(VELODEX_VERSION_MAJOR) || !defined(VELODEX_VERSION_MINOR) || \
    !defined(VELODEX_VERSION_PATCH)
#error "the build defines the program's version numbers"
#endif

namespace velodex {
namespace {

// Pages are written in large blocks: a run may write tens of thousands of rows.
constexpr size_t kPageBufferSize = 64 * 1024;

// The largest number of significant digits a cell shows.
constexpr size_t kSignificantDigits = 7;

// Splits a scientific text from std::to_chars ("-8.923884e+02") into its significant
// digits without trailing zeros ("8923884") and its decimal exponent (2).
void SplitScientific(std::string_view text, std::string& digits, int& exponent) {
  digits.clear();
  size_t i = text.front() == '-' ? 1 : 0;
  for (; i < text.size() && text[i] != 'e'; ++i) {
    if (text[i] != '.') digits.push_back(text[i]);
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string_view exponentText = text.substr(i + 1);
  if (!exponentText.empty() && exponentText.front() == '+') exponentText.remove_prefix(1);
  exponent = 0;
  std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
}

template <typename Number>
std::string FormatDecimal(Number value) {
  if (value == 0) return "0";  // also negative zero
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";

  // The shortest text that reads back as the same value, unless that needs more than
  // seven significant digits; then the value rounded to seven.
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
  std::string digits;
  int exponent = 0;
  SplitScientific(std::string_view(text, static_cast<size_t>(result.ptr - text)), digits, exponent);
  if (digits.size() > kSignificantDigits) {
    result = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific,
                           static_cast<int>(kSignificantDigits - 1));
    SplitScientific(std::string_view(text, static_cast<size_t>(result.ptr - text)), digits,
                    exponent);
  }

  // Positional notation: the digits with the separator after exponent + 1 of them.
  const char* separator = std::localeconv()->decimal_point;
  std::string out;
  if (value < 0) out.push_back('-');
  if (exponent < 0) {
    out += '0';
    out += separator;
    out.append(static_cast<size_t>(-exponent - 1), '0');
    out += digits;
  } else {
    const size_t wholeDigits = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= wholeDigits) {
      out += digits;
      out.append(wholeDigits - digits.size(), '0');
    } else {
      out.append(digits, 0, wholeDigits);
      out += separator;
      out.append(digits, wholeDigits);
    }
  }
  return out;
}

}  // namespace

PageFile::PageFile(std::string path) : path_(std::move(path)), buffer_(new char[kPageBufferSize]) {
  file_.reset(std::fopen(path_.c_str(), "wb"));
  if (!file_) fail(errno);
  std::setvbuf(file_.get(), buffer_.get(), _IOFBF, kPageBufferSize);
}

PageFile::~PageFile() = default;

void PageFile::write(std::string_view text) {
  if (text.empty()) return;
  if (!file_) fail(EBADF);
  if (std::fwrite(text.data(), 1, text.size(), file_.get()) != text.size()) fail(errno);
}

void PageFile::writeLine(std::string_view text) {
  write(text);
  write("\r\n");
}

void PageFile::close() {
  if (!file_) return;
  std::FILE* file = file_.release();
  int errorNumber = 0;
  if (std::fflush(file) != 0) errorNumber = errno;
  if (errorNumber == 0 && std::ferror(file)) errorNumber = EIO;
  if (std::fclose(file) != 0 && errorNumber == 0) errorNumber = errno;
  if (errorNumber != 0) fail(errorNumber);
}

void PageFile::fail(int errorNumber) const {
  throw Error("cannot write page '" + path_ +
              "': " + std::strerror(errorNumber != 0 ? errorNumber : EIO));
}

void WritePageHead(PageFile& page, const RunOptions& options, std::string_view title) {
  page.writeLine("<html>");
  page.writeLine("<HEAD>");
  page.write("<TITLE>");
  page.write(EscapeText(title));
  page.writeLine("</TITLE>");
  page.writeLine("</HEAD>");
  page.writeLine("<Body>");
  page.writeLine("<TABLE Border =\"1\">");
  page.writeLine("<TR>");
  for (int i = 0; i < kColumnCount; ++i) {
    if (!options.column(i)) continue;
    page.write("<TD>");
    page.write(kColumnCaptions[static_cast<size_t>(i)]);
    page.write("</TD>");
  }
  if (options.useZipFiles()) {
    page.write("<TD>Author</TD>");
    page.write("<TD>Zip File Name</TD>");
  }
  page.writeLine("</TR>");
}

void WritePageFoot(PageFile& page, const RunOptions& options, int withIndexLink) {
  page.writeLine("</table>");
  if (withIndexLink == 1) {
    WriteLink(page, "Main Index", options.useZipFiles() ? "rideindex.htm" : "..\\rideindex.htm");
    page.writeLine("<P>");
  }
  WriteCreditLines(page);
}

void WriteCreditLines(PageFile& page) {
  static const std::string kCreditText = "Velodex " + std::to_string(VELODEX_VERSION_MAJOR) + "." +
                                         std::to_string(VELODEX_VERSION_MINOR) + "." +
                                         std::to_string(VELODEX_VERSION_PATCH);
  page.writeLine("This page was automatically generated by");
  WriteLink(page, kCreditText, kHomePageAddress);
  page.writeLine("created by Quill Marrow");
  page.writeLine("</body>");
  page.writeLine("</html>");
}

void WriteLink(PageFile& page, std::string_view text, std::string_view target) {
  page.write("<a href=\"");
  page.write(EscapeText(target));
  page.write("\">");
  page.write(EscapeText(text));
  page.writeLine("</a>");
}

void WriteMailLink(PageFile& page, std::string_view text, std::string_view address) {
  page.write("<a href=\"mailto:");
  page.write(EscapeText(address));
  page.write("\">");
  page.write(EscapeText(text));
  page.writeLine("</a>");
}

std::string EscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string NameAsLinkTarget(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) {
    switch (c) {
      case '%':
        out += "%25";
        break;
      case '#':
        out += "%23";
        break;
      case '?':
        out += "%3F";
        break;
      case '"':
        out += "%22";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool IsSafeAuthorLink(std::string_view link) {
  const size_t colon = link.find(':');
  if (colon == std::string_view::npos) return true;
  // Browsers skip blanks and control characters around and inside a scheme, so
  // "java\tscript:" is dropped as surely as "javascript:".
  std::string scheme;
  for (char c : link.substr(0, colon)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 0x7f) continue;
    scheme += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return scheme == "http" || scheme == "https" || scheme == "ftp" || scheme == "mailto";
}

std::string FormatSingle(float value) { return FormatDecimal(value); }

std::string CellText(const FieldValue& value) {
  if (value.isText()) return value.text();
  if (value.isInteger()) return std::to_string(value.integer());
  if (value.isSingle()) return FormatDecimal(value.single());
  if (value.isDouble()) return FormatDecimal(value.real());
  return {};
}

}  // namespace velodex
