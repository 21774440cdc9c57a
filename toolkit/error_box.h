// The top-level exception report of both programs.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace vistrel {

// Runs the program's body. Anything it throws, an out-of-memory error and an access violation
// end in one modal box without owner, "Exception <class> in module <path> at
// <address>.\n<message>", and the result 1; otherwise the body's result. Without show_boxes
// (nobody is there to read one) they end in the result 1 alone.
int RunProgram(const std::function<int()>& body, bool show_boxes = true);

// The box RunProgram shows for the exception, for a program that reports one there and goes on
// to end by itself.
void ShowTopLevelReport(const std::exception_ptr& error);

// The box's text, for the given class name, code address and message.
std::string TopLevelErrorText(const std::string& class_name, const void* address,
                              const std::string& message);

}  // namespace vistrel
