// The common dialogs: opening files and choosing a folder.
#pragma once

#include <windows.h>

#include <commdlg.h>
#include <shlobj.h>

#include <cstddef>
#include <string>
#include <vector>

#include "toolkit/window.h"

namespace vistrel {

class OpenFileDialog {
 public:
  // The owner must outlive the dialog (members of the owner's object are).
  explicit OpenFileDialog(const Window& owner);

  // Pairs of description and patterns, all separated by "|".
  std::string filter;
  DWORD flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING;
  // The bytes the dialog may use for its result.
  std::size_t buffer_size = 65520;
  // Empty: the system's own title.
  std::string title;

  // Runs the dialog modally. False when it was cancelled or failed; otherwise Files() holds the
  // chosen files' full paths in the dialog's order.
  bool Execute();
  const std::vector<std::string>& Files() const { return files_; }
  // After a false Execute: the choice did not fit in buffer_size.
  bool BufferTooSmall() const { return buffer_too_small_; }

 private:
  const Window& owner_;  // not owning
  std::vector<std::string> files_;
  bool buffer_too_small_ = false;
};

// The result of an open dialog that allows several files: one full path, or a folder followed
// by the names in it, each ended by a zero byte, the whole ended by another.
std::vector<std::string> SplitOpenFileResult(const char* buffer, std::size_t size);

// The platform's filter text: "|" becomes a zero byte, and the whole ends with two.
std::string FilterText(const std::string& filter);

class FolderDialog {
 public:
  explicit FolderDialog(const Window& owner);

  UINT flags = BIF_RETURNONLYFSDIRS;
  std::string title;

  // Runs the folder browser modally. False when it was cancelled or the choice is no folder of
  // the file system; otherwise Folder() is its path.
  bool Execute();
  const std::string& Folder() const { return folder_; }

 private:
  const Window& owner_;  // not owning
  std::string folder_;
};

}  // namespace vistrel
