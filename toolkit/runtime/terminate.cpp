// Linked into each program as an object of its own, so that it replaces the C++ runtime's default
// terminate handler. That one prints the exception's demangled type name to stderr, which a GUI
// program does not have, and brings a name demangler and a printf (about 65 KB) into both
// programs. Ending the same way without the message keeps them small.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
  std::abort();
}

}  // namespace __gnu_cxx
