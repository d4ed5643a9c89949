// The pieces every report page shares: the page file itself, the document head with the
// column heading row, the two page feet's common credit lines, the ordinary page foot, the
// two one-line link writers, the plain text form of a catalogue value in a cell, and the
// escaping that keeps names and author texts from downloaded archives from adding markup
// to a page. Every line ends in CR LF.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "catalogue/catalogue_database.h"
#include "catalogue/file_system.h"
#include "catalogue/run_options.h"

namespace velodex {

// The fixed address of the program's home page, the target of every page's credit link.
inline constexpr const char* kHomePageAddress = "https://velodex.example.org/";

// An output page, written whole or not at all: the lines go to a new file beside it, which
// close() puts in place of whatever stood at the page's name. Throws Error "cannot write
// page '<path>': <cause>" when the file cannot be made, a write fails or the close fails.
class PageFile {
 public:
  explicit PageFile(std::string path);
  // A page left open (after an error) is dropped; an earlier page of that name stays.
  ~PageFile();
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  // Appends text, leaving the line open for the next write.
  void write(std::string_view text);
  // Appends text and ends the line with CR LF.
  void writeLine(std::string_view text);
  // Writes out the page and puts it in place; throws Error if that fails.
  void close();

  const std::string& path() const { return file_.path(); }

 private:
  AtomicFile file_;
};

// Writes "<html>" through the heading row: the title line, the table start and one heading
// cell per switched-on column (then "Author" and "Zip File Name" with useZipFiles), "</TR>".
void WritePageHead(PageFile& page, const RunOptions& options, std::string_view title);

// Writes "</table>", then, only when withIndexLink is 1, the "Main Index" link (target
// "rideindex.htm" with useZipFiles, else "..\rideindex.htm") and "<P>", then the credit
// lines and the document close.
void WritePageFoot(PageFile& page, const RunOptions& options, int withIndexLink);

// Writes the closing lines both page feet share: the credit sentence with its link to
// the home page ("Velodex " and the version), "</body>" and "</html>".
void WriteCreditLines(PageFile& page);

// Writes one line: <a href="target">text</a>, both passed through EscapeText.
void WriteLink(PageFile& page, std::string_view text, std::string_view target);

// Writes one line: <a href="mailto:address">text</a>, both passed through EscapeText.
void WriteMailLink(PageFile& page, std::string_view text, std::string_view address);

// Text as page text: "&", "<", ">" and '"' as "&amp;", "&lt;", "&gt;" and "&quot;". Every
// other byte is kept, so the program's own texts reach the page unchanged.
std::string EscapeText(std::string_view text);

// A design or archive file name as a link target naming that file: "%", "#", "?" and '"'
// as "%25", "%23", "%3F" and "%22", so a browser reads none of them as the start of a
// fragment or query. The link writers then escape the rest.
std::string NameAsLinkTarget(std::string_view name);

// Whether an author link from an archive's author.txt may become a link: true when it has
// no ":" (a plain address, read relative to the page) or when its scheme, the letters before
// the first ":" with blanks and control characters dropped, is http, https, ftp or mailto
// in any letter case. Anything else (javascript:, data:, file:) is shown as plain text.
bool IsSafeAuthorLink(std::string_view link);

// The text of a single-precision value in a cell: the shortest decimal form of at most
// seven significant digits, no exponent, no trailing zeros, no separator for whole values,
// the locale's decimal separator otherwise; negative zero shows as "0".
std::string FormatSingle(float value);

// The cell text of a catalogue value: text as stored, whole numbers in decimal, floats by
// FormatSingle (a double by the same rule), null as the empty text.
std::string CellText(const FieldValue& value);

}  // namespace velodex
