// The wallpaper list: one entry per line, a style letter followed at once by the image path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/shared_names.h"

namespace vistrel {

// `DataDirectory` + "list.txt".
std::string ListFilePath();

// Fit and Fill come after the first three letters, so a copy that knows only those reads them as
// letters without a style and leaves the desktop's style as it is.
enum class EntryStyle : std::uint8_t {
  esNone = 0,
  esCenter = 1,
  esTile = 2,
  esStretch = 3,
  esFit = 4,
  esFill = 5
};

constexpr char kStyleCenter = '1';
constexpr char kStyleTile = '2';
constexpr char kStyleStretch = '3';
constexpr char kStyleFit = '4';   // the whole picture, bars where the aspect differs
constexpr char kStyleFill = '5';  // the screen covered, the picture cropped

constexpr const char kStyleTextCenter[] = "Center";
constexpr const char kStyleTextTile[] = "Tile";
constexpr const char kStyleTextStretch[] = "Stretch";
constexpr const char kStyleTextFit[] = "Fit";
constexpr const char kStyleTextFill[] = "Fill";

// "0" reads as Center too; any other unknown letter has no style.
EntryStyle StyleForLetter(char letter);
// The Style column's text: "Center", "Tile", "Stretch", "Fit", "Fill" or empty.
const char* StyleText(EntryStyle style);
// The letter the list is written with: "5" for "Fill", "4" for "Fit", "3" for "Stretch", "2" for
// "Tile", "1" for anything else.
char LetterForStyleText(const std::string& style_text);

struct ListEntry {
  char StyleLetter = kStyleCenter;
  std::string path;

  // The line as stored (letter + path); an empty line gives an empty letter and path.
  static ListEntry FromLine(const std::string& line);
};

// Splits list text into lines: a line ends at CR, an LF right after that CR belongs to the line
// end, a lone LF is an ordinary character, the first Ctrl-Z ends the text, and a last line
// without a line end still counts.
std::vector<std::string> SplitListLines(const std::string& text);

// The list file's bytes as UTF-8 text: after a UTF-8 byte order mark, UTF-8; text that is all
// well-formed UTF-8 with some non-ASCII bytes (as a modern Notepad saves it), UTF-8 too; anything
// else, the ANSI code page. Only the text before the first Ctrl-Z counts, as only it is read.
std::string DecodeListText(const std::string& bytes);

// The bytes to store for UTF-8 list text: in the ANSI code page when every character fits into it,
// byte for byte what a copy that knows only that code page reads; otherwise UTF-8 after its byte
// order mark.
std::string EncodeListText(const std::string& text);

constexpr const char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

// Reads the list file in one go (others may replace it meanwhile). False when it cannot be read.
bool ReadListFile(const std::string& path, std::vector<std::string>& lines);

// The text of a list: every line followed by CR LF (UTF-8, as the lines are).
std::string FormatListLines(const std::vector<std::string>& lines);

// Rewrites the whole list through a temporary file renamed over it, encoded by EncodeListText.
bool WriteListFile(const std::string& path, const std::vector<std::string>& lines);

// What the programs say of a picture whose path the system refuses for its length.
std::string PathTooLongText(const std::string& path);

// Creates an empty list file when none exists (a directory of that name counts as missing).
bool EnsureListFile(const std::string& path);

}  // namespace vistrel
