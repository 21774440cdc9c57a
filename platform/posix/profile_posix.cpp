// The Windows profile rules over plain files, for hosts without the profile API.
#include <strings.h>
#include <cstdint>
#include <vector>

#include "platform/files.h"
#include "platform/profile.h"

namespace vistrel {

namespace {

constexpr const char* kBlanks = " \t";

std::string Trim(const std::string& text) {
  std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return std::string();
  std::size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// Lines without their ends; CR LF, a lone CR and a lone LF all end a line.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// The section name when the line is a section header.
bool SectionName(const std::string& line, std::string& name) {
  std::string t = Trim(line);
  if (t.empty() || t[0] != '[') return false;
  std::size_t close = t.rfind(']');
  name = Trim(close == std::string::npos || close == 0 ? t.substr(1) : t.substr(1, close - 1));
  return true;
}

// The key and value when the line is key=value.
bool KeyValue(const std::string& line, std::string& key, std::string& value) {
  std::string t = Trim(line);
  if (t.empty() || t[0] == ';') return false;
  std::size_t eq = t.find('=');
  if (eq == std::string::npos) return false;
  key = Trim(t.substr(0, eq));
  value = Trim(t.substr(eq + 1));
  return true;
}

// Finds the value of key in section; false when the file, section or key is missing.
bool Lookup(const std::string& file, const std::string& section, const std::string& key,
            std::string& value) {
  std::string text;
  if (!ReadWholeFile(file, text)) return false;
  bool inside = false;
  for (const std::string& line : SplitLines(text)) {
    std::string name, k, v;
    if (SectionName(line, name)) {
      inside = SameName(name, Trim(section));
    } else if (inside && KeyValue(line, k, v) && SameName(k, Trim(key))) {
      if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0])
        v = v.substr(1, v.size() - 2);
      value = v;
      return true;
    }
  }
  return false;
}

}  // namespace

int ProfileReadInt(const std::string& file, const std::string& section, const std::string& key,
                   int default_value) {
  std::string value;
  if (!Lookup(file, section, key, value) || value.empty()) return default_value;
  std::size_t i = 0;
  bool negative = false;
  if (value[i] == '-' || value[i] == '+') negative = value[i++] == '-';
  std::uint32_t number = 0;  // wraps like the Windows conversion does
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
    number = number * 10u + static_cast<std::uint32_t>(value[i] - '0');
  if (negative) number = 0u - number;
  return static_cast<int>(number);
}

std::string ProfileReadString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& default_value) {
  std::string value;
  if (!Lookup(file, section, key, value)) value = default_value;
  if (value.size() > kProfileTextLimit) value.resize(kProfileTextLimit);
  return value;
}

bool ProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
  std::string text;
  if (!ReadWholeFile(file, text) && FileExists(file)) return false;
  std::vector<std::string> lines = SplitLines(text);

  const std::string wanted_section = Trim(section), wanted_key = Trim(key);
  bool inside = false, found_section = false, written = false;
  std::size_t insert_at = lines.size();  // after the section's last non-blank line
  for (std::size_t i = 0; i < lines.size() && !written; ++i) {
    std::string name, k, v;
    if (SectionName(lines[i], name)) {
      if (inside) break;
      inside = SameName(name, wanted_section);
      if (inside) {
        found_section = true;
        insert_at = i + 1;
      }
    } else if (inside) {
      if (KeyValue(lines[i], k, v) && SameName(k, wanted_key)) {
        lines[i] = k + "=" + value;
        written = true;
      } else if (!Trim(lines[i]).empty()) {
        insert_at = i + 1;
      }
    }
  }
  if (!written) {
    if (found_section) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert_at),
                   wanted_key + "=" + value);
    } else {
      lines.push_back("[" + wanted_section + "]");
      lines.push_back(wanted_key + "=" + value);
    }
  }
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return ReplaceFileContents(file, out);
}

}  // namespace vistrel
