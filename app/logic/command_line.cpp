#include "app/logic/command_line.h"

namespace vistrel {

namespace {

bool IsSeparator(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

// Reads one raw argument starting at pos; pos ends after it.
std::string NextArgument(const std::string& text, std::size_t& pos) {
  for (;;) {
    while (pos < text.size() && IsSeparator(text[pos])) ++pos;
    if (pos + 1 < text.size() && text[pos] == '"' && text[pos + 1] == '"')
      pos += 2;
    else
      break;
  }
  std::string argument;
  while (pos < text.size() && text[pos] != '\0' && !IsSeparator(text[pos])) {
    if (text[pos] == '"') {
      argument += text[pos++];
      while (pos < text.size() && text[pos] != '\0' && text[pos] != '"') argument += text[pos++];
      if (pos < text.size() && text[pos] == '"') argument += text[pos++];
    } else {
      argument += text[pos++];
    }
  }
  return argument;
}

std::string Unquoted(std::string argument) {
  if (argument.size() >= 2 && argument.front() == '"' && argument.back() == '"')
    argument = argument.substr(1, argument.size() - 2);
  return argument;
}

}  // namespace

std::string FirstArgument(const std::string& command_line) {
  std::size_t pos = 0;
  NextArgument(command_line, pos);  // the program name
  return Unquoted(NextArgument(command_line, pos));
}

std::vector<std::string> Arguments(const std::string& command_line) {
  std::vector<std::string> arguments;
  std::size_t pos = 0;
  NextArgument(command_line, pos);
  for (;;) {
    std::string argument = NextArgument(command_line, pos);
    if (argument.empty()) return arguments;
    arguments.push_back(Unquoted(std::move(argument)));
  }
}

}  // namespace vistrel
