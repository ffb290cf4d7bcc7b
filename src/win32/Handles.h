// Owners of what the program takes from Windows: registry keys, file handles, global
// memory blocks, and COM interface pointers held in plain fields.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// An open registry key, closed when it goes.
class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() { Close(); }

  // Where RegOpenKeyEx and RegCreateKeyEx put the key.
  HKEY* Receive() { return &key_; }
  operator HKEY() const { return key_; }
  void Close() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

// A zero-filled GlobalAlloc block owned for one capture.
class GlobalBuffer {
 public:
  explicit GlobalBuffer(size_t bytes)
      : memory_(static_cast<uint8_t*>(GlobalAlloc(GPTR, bytes))), bytes_(memory_ ? bytes : 0) {}
  ~GlobalBuffer() { Release(); }
  GlobalBuffer(const GlobalBuffer&) = delete;
  GlobalBuffer& operator=(const GlobalBuffer&) = delete;

  void Release() {
    if (memory_) GlobalFree(memory_);
    memory_ = nullptr;
    bytes_ = 0;
  }
  explicit operator bool() const { return memory_ != nullptr; }
  uint8_t* Data() const { return memory_; }
  size_t Bytes() const { return bytes_; }

 private:
  uint8_t* memory_;
  size_t bytes_;
};

// The most one ReadFile or WriteFile call is asked to move; larger transfers loop.
inline constexpr DWORD kMaxFileCallBytes = 0x40000000;

// True only when every byte was written.
inline bool WriteToFile(HANDLE file, const void* data, size_t bytes) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (bytes > 0) {
    const DWORD chunk = bytes > kMaxFileCallBytes ? kMaxFileCallBytes : static_cast<DWORD>(bytes);
    DWORD written = 0;
    if (!WriteFile(file, p, chunk, &written, nullptr) || written == 0) return false;
    p += written;
    bytes -= written;
  }
  return true;
}

// A file handle owned for one capture; Close reports whether the last buffered bytes
// reached the disk.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  bool Close() {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    const BOOL closed = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed != FALSE;
  }
  bool WriteAll(const void* data, size_t bytes) const { return WriteToFile(handle_, data, bytes); }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Releases a COM interface held in a field and clears the field; an empty one is skipped.
template <typename T>
void ReleaseAndClear(T*& object) {
  if (object) {
    object->Release();
    object = nullptr;
  }
}
