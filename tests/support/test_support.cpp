#include "tests/support/test_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vistrel::test {

namespace fs = std::filesystem;

std::string DataPath(const std::string& name) {
  return std::string(VISTREL_TEST_DATA_DIR) + "/" + name;
}

std::string BuildDir() { return VISTREL_BUILD_DIR; }

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

}  // namespace vistrel::test
