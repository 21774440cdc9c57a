// Paths and small file helpers shared by the test programs.
#pragma once

#include <string>

namespace vistrel::test {

// A file of tests/data.
std::string DataPath(const std::string& name);

// The build folder (where the programs are).
std::string BuildDir();

// A new empty folder for the running test, removed and made again on each call with the same
// name; the path ends with the platform's separator.
std::string FreshDir(const std::string& name);

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

// A bottom-up 24-bit BMP file written byte by byte from the file format (independent of our
// writer), its pixel bytes a sequence started by seed.
std::string Bmp24(int width, int height, unsigned seed);

}  // namespace vistrel::test
