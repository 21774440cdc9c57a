#include "common/list_file.h"

#include "common/settings.h"
#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/utf8.h"

namespace vistrel {

std::string ListFilePath() {
  return DataDirectory() + kListFileName;
}

EntryStyle StyleForLetter(char letter) {
  switch (letter) {
    case '0':
    case kStyleCenter: return EntryStyle::esCenter;
    case kStyleTile: return EntryStyle::esTile;
    case kStyleStretch: return EntryStyle::esStretch;
    case kStyleFit: return EntryStyle::esFit;
    case kStyleFill: return EntryStyle::esFill;
    default: return EntryStyle::esNone;
  }
}

const char* StyleText(EntryStyle style) {
  switch (style) {
    case EntryStyle::esCenter: return kStyleTextCenter;
    case EntryStyle::esTile: return kStyleTextTile;
    case EntryStyle::esStretch: return kStyleTextStretch;
    case EntryStyle::esFit: return kStyleTextFit;
    case EntryStyle::esFill: return kStyleTextFill;
    default: return "";
  }
}

char LetterForStyleText(const std::string& style_text) {
  if (style_text == kStyleTextFill) return kStyleFill;
  if (style_text == kStyleTextFit) return kStyleFit;
  if (style_text == kStyleTextStretch) return kStyleStretch;
  if (style_text == kStyleTextTile) return kStyleTile;
  return kStyleCenter;
}

ListEntry ListEntry::FromLine(const std::string& line) {
  ListEntry entry;
  entry.StyleLetter = line.empty() ? '\0' : line[0];
  entry.path = line.size() > 1 ? line.substr(1) : std::string();
  return entry;
}

std::vector<std::string> SplitListLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  bool pending = false;  // characters since the last line end
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\x1a') break;
    if (c == '\r') {
      lines.push_back(line);
      line.clear();
      pending = false;
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
      pending = true;
    }
  }
  if (pending) lines.push_back(line);
  return lines;
}

std::string DecodeListText(const std::string& bytes) {
  const std::size_t mark = sizeof kUtf8ByteOrderMark - 1;
  if (bytes.compare(0, mark, kUtf8ByteOrderMark) == 0) return bytes.substr(mark);
  const std::string read = bytes.substr(0, bytes.find('\x1a'));
  if (!IsAscii(read) && IsValidUtf8(read)) return bytes;
  return AnsiToUtf8(bytes);
}

std::string EncodeListText(const std::string& text) {
  std::string ansi;
  if (Utf8ToAnsi(text, ansi)) return ansi;
  return kUtf8ByteOrderMark + text;
}

bool ReadListFile(const std::string& path, std::vector<std::string>& lines) {
  std::string bytes;
  lines.clear();
  if (!ReadWholeFile(path, bytes)) return false;
  lines = SplitListLines(DecodeListText(bytes));
  return true;
}

std::string FormatListLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

bool WriteListFile(const std::string& path, const std::vector<std::string>& lines) {
  return ReplaceFileContents(path, EncodeListText(FormatListLines(lines)));
}

std::string PathTooLongText(const std::string& path) {
  return "Cannot open " + path + ": the path is longer than this system accepts.";
}

bool EnsureListFile(const std::string& path) {
  if (FileExists(path)) return true;
  return ReplaceFileContents(path, std::string());
}

}  // namespace vistrel
