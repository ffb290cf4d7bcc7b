#include "capture/win32/ReplacingFile.h"

namespace {

// The folder part of `target`, "." for a bare name; empty when the name is unusable.
std::string FolderOf(const char* target) {
  char full[MAX_PATH];
  char* part = nullptr;
  const DWORD length = GetFullPathNameA(target, sizeof full, full, &part);
  if (length == 0 || length >= sizeof full || !part || !*part) return {};
  *part = '\0';
  return full;
}

}  // namespace

bool CanCreateFile(const char* target) {
  if (!target || !*target) return false;
  const DWORD existing = GetFileAttributesA(target);
  if (existing != INVALID_FILE_ATTRIBUTES) {
    if (existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return false;
    HANDLE file = CreateFileA(target, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
  }
  // The name itself is tried: the folder may exist while the name is one no file can have.
  HANDLE file = CreateFileA(target, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  DeleteFileA(target);  // where closing did not remove it already
  return true;
}

bool ReplacingFile::Create(const char* target, DWORD attributes) {
  Discard();
  if (!CanCreateFile(target)) return false;
  const std::string folder = FolderOf(target);
  char name[MAX_PATH];
  if (folder.empty() || !GetTempFileNameA(folder.c_str(), "lum", 0, name)) return false;
  target_ = target;
  temporary_ = name;
  handle_ = CreateFileA(name, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, attributes, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) {
    Discard();
    return false;
  }
  return true;
}

void ReplacingFile::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

bool ReplacingFile::Commit() {
  if (temporary_.empty()) return false;
  // Closing writes the last buffered bytes: a failure there is a failed write.
  const bool closed = handle_ == INVALID_HANDLE_VALUE || CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  if (!closed || !MoveFileExA(temporary_.c_str(), target_.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    Discard();
    return false;
  }
  temporary_.clear();
  target_.clear();
  return true;
}

void ReplacingFile::Discard() {
  Close();
  if (!temporary_.empty()) DeleteFileA(temporary_.c_str());
  temporary_.clear();
  target_.clear();
}
