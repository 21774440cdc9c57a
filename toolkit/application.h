// The application: its main window (whose end ends the message loop) and the message loop.
#pragma once

#include <windows.h>

#include <exception>

namespace vistrel {

class TopLevelWindow;

// Not owning; cleared when that window is destroyed.
void SetMainWindow(TopLevelWindow* window);
TopLevelWindow* MainWindow();

// Runs until the quit message and returns its code. An exception thrown inside a window's
// messages ends the loop and is thrown again from here, so that it reaches the program's top.
int RunMessageLoop();

// Gives a key message to the dialog navigation of its top-level window when that window takes
// dialog keys (WS_EX_CONTROLPARENT); true when it was handled there and must not be dispatched.
bool PreTranslateDialogKeys(MSG& message);

// Called by the window procedure: C++ exceptions must not unwind through the system's frames.
void DeferException(std::exception_ptr error);

}  // namespace vistrel
