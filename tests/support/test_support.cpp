#include "tests/support/test_support.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

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
  fs::create_directories(dir);
#ifdef _WIN32
  return dir.string() + "\\";
#else
  return dir.string() + "/";
#endif
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
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

}  // namespace vistrel::test
