#include "common/list_file.h"

#include "common/settings.h"
#include "platform/files.h"

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

bool ReadListFile(const std::string& path, std::vector<std::string>& lines) {
  std::string text;
  lines.clear();
  if (!ReadWholeFile(path, text)) return false;
  lines = SplitListLines(text);
  return true;
}

std::string FormatListLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

bool WriteListFile(const std::string& path, const std::vector<std::string>& lines) {
  return ReplaceFileContents(path, FormatListLines(lines));
}

bool EnsureListFile(const std::string& path) {
  if (FileExists(path)) return true;
  return ReplaceFileContents(path, std::string());
}

}  // namespace vistrel
