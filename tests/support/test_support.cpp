#include "tests/support/test_support.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace vistrel::test {

namespace fs = std::filesystem;

std::string DataPath(const std::string& name) {
  return std::string(VISTREL_TEST_DATA_DIR) + "/" + name;
}

std::string BuildDir() {
  return VISTREL_BUILD_DIR;
}

std::string FreshDir(const std::string& name) {
  fs::path dir = fs::path(VISTREL_TEST_TMP_DIR) / name;
  std::error_code ignored;
  fs::remove_all(dir, ignored);
#ifdef _WIN32
  // What a test left under a path beyond MAX_PATH goes only in the long form.
  if (fs::exists(dir, ignored)) {
    std::wstring whole = fs::absolute(dir, ignored).wstring();
    for (wchar_t& c : whole)
      if (c == L'/') c = L'\\';
    fs::remove_all(fs::path(L"\\\\?\\" + whole), ignored);
  }
#endif
  fs::create_directories(dir);
#ifdef _WIN32
  return dir.string() + "\\";
#else
  return dir.string() + "/";
#endif
}

// Paths are UTF-8, as in the programs.
static fs::path NativePath(const std::string& path) {
#ifdef _WIN32
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0)
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), &wide[0], n);
  return fs::path(wide);
#else
  return fs::path(path);
#endif
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(NativePath(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

unsigned long ProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

std::vector<std::string> FileNamesIn(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, error))
    if (entry.is_regular_file(error)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string Bmp24(int width, int height, unsigned seed) {
  const std::uint32_t row = (static_cast<std::uint32_t>(width) * 24 + 31) / 32 * 4;
  const std::uint32_t pixels = row * static_cast<std::uint32_t>(height);
  std::string b;
  auto u16 = [&b](std::uint32_t v) {
    b += static_cast<char>(v & 255);
    b += static_cast<char>((v >> 8) & 255);
  };
  auto u32 = [&u16](std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  b += "BM";
  u32(54 + pixels), u16(0), u16(0), u32(54);
  u32(40), u32(static_cast<std::uint32_t>(width)), u32(static_cast<std::uint32_t>(height));
  u16(1), u16(24), u32(0), u32(pixels), u32(2835), u32(2835), u32(0), u32(0);
  for (std::uint32_t i = 0; i < pixels; ++i) b += static_cast<char>((seed + i * 7) & 255);
  return b;
}

namespace {

void AppendBigEndian(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 255);
}

std::uint32_t Crc32(const std::string& bytes) {
  static const auto table = [] {
    std::vector<std::uint32_t> t(256);
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) c = table[(c ^ b) & 255] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void AppendChunk(std::string& png, const char* type, const std::string& data) {
  AppendBigEndian(png, static_cast<std::uint32_t>(data.size()));
  const std::string typed = type + data;
  png += typed;
  AppendBigEndian(png, Crc32(typed));
}

}  // namespace

std::string Png24(int width, int height, unsigned seed) {
  const std::string bmp = Bmp24(width, height, seed);
  const std::size_t bmp_row = (static_cast<std::size_t>(width) * 24 + 31) / 32 * 4;
  const std::size_t png_row = static_cast<std::size_t>(width) * 3;
  // The filtered rows, top first; the BMP's are bottom first, blue before red.
  std::string raw;
  raw.reserve((png_row + 1) * static_cast<std::size_t>(height));
  std::string rgb(png_row, '\0');
  for (int y = 0; y < height; ++y) {
    const char* bgr = bmp.data() + 54 + bmp_row * static_cast<std::size_t>(height - 1 - y);
    for (std::size_t i = 0; i < png_row; i += 3)
      rgb[i] = bgr[i + 2], rgb[i + 1] = bgr[i + 1], rgb[i + 2] = bgr[i];
    raw += '\1';
    for (std::size_t i = 0; i < png_row; ++i) {
      const int left = i >= 3 ? static_cast<unsigned char>(rgb[i - 3]) : 0;
      raw += static_cast<char>((static_cast<unsigned char>(rgb[i]) - left) & 255);
    }
  }
  // zlib header, stored blocks of at most 65535 bytes, Adler-32.
  std::string z = "\x78\x01";
  std::size_t at = 0;
  do {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
    z += static_cast<char>(at + n == raw.size() ? 1 : 0);
    z += static_cast<char>(n & 255), z += static_cast<char>(n >> 8);
    z += static_cast<char>(~n & 255), z += static_cast<char>((~n >> 8) & 255);
    z.append(raw, at, n);
    at += n;
  } while (at < raw.size());
  std::uint32_t a = 1, b = 0;
  for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  AppendBigEndian(z, b << 16 | a);

  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  AppendBigEndian(header, static_cast<std::uint32_t>(width));
  AppendBigEndian(header, static_cast<std::uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);
  AppendChunk(png, "IHDR", header);
  AppendChunk(png, "IDAT", z);
  AppendChunk(png, "IEND", "");
  return png;
}

std::string ExifBlock(bool big_endian, const std::vector<ExifEntry>& entries,
                      std::uint32_t next_ifd, std::uint32_t ifd_offset) {
  std::string tiff;
  auto put = [&tiff, big_endian](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      const int shift = 8 * (big_endian ? bytes - 1 - i : i);
      tiff += static_cast<char>(v >> shift & 0xFF);
    }
  };
  tiff += big_endian ? "MM" : "II";
  put(42, 2);
  put(ifd_offset, 4);
  put(static_cast<std::uint32_t>(entries.size()), 2);
  for (const ExifEntry& e : entries) {
    put(e.tag, 2);
    put(e.type, 2);
    put(e.count, 4);
    if (e.type == 3) {
      put(e.value, 2);
      put(0, 2);
    } else {
      put(e.value, 4);
    }
  }
  put(next_ifd, 4);
  return std::string("Exif\0\0", 6) + tiff;
}

std::string WithApp1(const std::string& jpeg, const std::string& payload) {
  const std::size_t length = payload.size() + 2;
  return jpeg.substr(0, 2) + "\xFF\xE1" + static_cast<char>(length >> 8 & 0xFF) +
         static_cast<char>(length & 0xFF) + payload + jpeg.substr(2);
}

}  // namespace vistrel::test
