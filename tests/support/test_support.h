// Paths and small file helpers shared by the test programs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vistrel::test {

// A file of tests/data.
std::string DataPath(const std::string& name);

// The build folder (where the programs are).
std::string BuildDir();

// A new empty folder for the running test, removed and made again on each call with the same
// name; the path ends with the platform's separator.
std::string FreshDir(const std::string& name);

std::string ReadBytes(const std::string& path);
// The names of the files in dir, sorted; none when it cannot be read.
std::vector<std::string> FileNamesIn(const std::string& dir);
void WriteBytes(const std::string& path, const std::string& bytes);

// The running test program's process id.
unsigned long ProcessId();

// A bottom-up 24-bit BMP file written byte by byte from the file format (independent of our
// writer), its pixel bytes a sequence started by seed.
std::string Bmp24(int width, int height, unsigned seed);

// The picture of Bmp24(width, height, seed) as an 8-bit RGB PNG file written byte by byte from the
// format: rows with the Sub filter, the data in stored (uncompressed) deflate blocks.
std::string Png24(int width, int height, unsigned seed);

// One IFD entry; value fills the start of the 4-byte value field (2 bytes for a SHORT).
struct ExifEntry {
  std::uint16_t tag = 0x0112;
  std::uint16_t type = 3;  // SHORT
  std::uint32_t count = 1;
  std::uint32_t value = 1;
};

// An APP1 payload written from the EXIF format: "Exif\0\0", a TIFF header of the byte order
// (its IFD0 offset ifd_offset), IFD0 at offset 8 with the entries, and the link next_ifd.
std::string ExifBlock(bool big_endian, const std::vector<ExifEntry>& entries,
                      std::uint32_t next_ifd = 0, std::uint32_t ifd_offset = 8);

// The JPEG file with an APP1 segment holding payload right after its start marker.
std::string WithApp1(const std::string& jpeg, const std::string& payload);

}  // namespace vistrel::test
