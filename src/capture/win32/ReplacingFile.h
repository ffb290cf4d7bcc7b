// A capture's output file, written under a temporary name beside its target and moved
// onto the target only once it is complete, the way careful editors save: an earlier file
// of the target's name survives every failure and every capture that writes nothing.
#pragma once

#include <windows.h>

#include <string>

// Whether `target` can be written: an existing file that is not read-only and can be
// opened for writing, or a new name its folder accepts (tried and removed at once).
// Nothing existing is changed.
bool CanCreateFile(const char* target);

class ReplacingFile {
 public:
  ReplacingFile() = default;
  ~ReplacingFile() { Discard(); }
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Creates the temporary file in the target's folder and opens it for writing with
  // `attributes` (flags included). False when the target cannot be written or the folder
  // takes no file.
  bool Create(const char* target, DWORD attributes);
  HANDLE Handle() const { return handle_; }

  // Closes the file and moves it onto the target, replacing an earlier file. False when
  // the last bytes could not be written or the move failed: the temporary file is then
  // removed and the target is as it was.
  bool Commit();
  // Closes and removes the temporary file; the target is untouched.
  void Discard();

 private:
  void Close();

  std::string target_;
  std::string temporary_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};
