// Profile (INI) files with the rules of the Windows profile API: section and key names compare
// without regard to case, blanks around names and values are ignored, a value enclosed in one
// pair of matching quotes loses them, and a write creates the file, section and key as needed
// while keeping every other line as it was.
#pragma once

#include <string>

namespace vistrel {

// The leading decimal number of the value ("12abc" is 12, "abc" is 0, "-3" is -3); the default
// when the file, section or key is missing or the value is empty.
int ProfileReadInt(const std::string& file, const std::string& section, const std::string& key,
                   int default_value);

// At most kProfileTextLimit characters arrive, as through a 2048-byte buffer.
std::string ProfileReadString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& default_value);

bool ProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);

constexpr std::size_t kProfileTextLimit = 2047;

}  // namespace vistrel
