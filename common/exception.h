// The one exception class of both programs: a message, a one-byte kind code and a 32-bit error
// code. Image-format failures use kind 34 with the message number; toolkit checks use kind 25.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vistrel {

constexpr std::uint8_t kGraphicErrorKind = 34;
constexpr std::uint8_t kToolkitCheckKind = 25;

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message, std::uint8_t kind = 0, std::uint32_t code = 0)
      : std::runtime_error(message), kind_(kind), code_(code) {}

  std::string Message() const { return what(); }
  std::uint8_t Kind() const { return kind_; }
  std::uint32_t Code() const { return code_; }

 private:
  std::uint8_t kind_;
  std::uint32_t code_;
};

// A failed toolkit check: "text (source, line N)" with kind 25.
[[noreturn]] void RaiseCheck(const std::string& text, const char* source, int line);

#define VISTREL_CHECK_FAILED(text) ::vistrel::RaiseCheck((text), __FILE__, __LINE__)

}  // namespace vistrel
