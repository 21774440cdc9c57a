#include "tests/support/damage_sweep.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/test_support.h"

namespace vistrel::test {

std::string Damage::Describe() const {
  const std::string where = std::to_string(at);
  switch (kind) {
    case Kind::kFlip: return "byte " + where + " xor " + std::to_string(value);
    case Kind::kSet: return "byte " + where + " = " + std::to_string(value);
    case Kind::kCut: break;
  }
  return "cut at " + where;
}

void SweepDamage(const std::string& original, const DamageSweep& sweep,
                 const std::function<void(const std::string& bytes, const Damage& damage)>& visit) {
  const std::size_t limit = std::min(original.size(), sweep.limit);
  auto failed = [] { return ::testing::Test::HasFailure(); };
  std::string bytes = original;
  for (std::size_t at = 0; at < limit && !failed(); ++at) {
    const auto byte = static_cast<std::uint8_t>(original[at]);
    auto apply = [&](Damage::Kind kind, std::uint8_t value) {
      bytes[at] = static_cast<char>(kind == Damage::Kind::kFlip ? byte ^ value : value);
      visit(bytes, Damage{kind, at, value});
    };
    if (sweep.one_flip_per_byte) {
      apply(Damage::Kind::kSet, at % 2 ? 0x00 : 0xFF);
      apply(Damage::Kind::kFlip, static_cast<std::uint8_t>(1u << (at % 8)));
    } else {
      for (std::uint8_t mask : sweep.flips) apply(Damage::Kind::kFlip, mask);
      apply(Damage::Kind::kSet, 0x00);
      apply(Damage::Kind::kSet, 0xFF);
    }
    bytes[at] = original[at];
  }
  if (!sweep.cuts) return;
  for (std::size_t length = 0; length < limit && !failed(); ++length)
    visit(original.substr(0, length), Damage{Damage::Kind::kCut, length, 0});
}

void SweepDataFiles(std::initializer_list<const char*> names, std::size_t limit,
                    std::initializer_list<int> messages,
                    const std::function<int(const std::string& bytes)>& message_of) {
  DamageSweep sweep;
  sweep.limit = limit;
  sweep.flips = {0x01, 0x10, 0x80};
  const std::vector<int> allowed(messages);
  for (const char* name : names) {
    SCOPED_TRACE(name);
    SweepDamage(ReadBytes(DataPath(name)), sweep,
                [&](const std::string& bytes, const Damage& damage) {
                  const int message = message_of(bytes);
                  ASSERT_NE(std::find(allowed.begin(), allowed.end(), message), allowed.end())
                      << "message " << message << ", " << damage.Describe();
                });
  }
}

}  // namespace vistrel::test
