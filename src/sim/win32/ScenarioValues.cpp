#include "sim/win32/ScenarioValues.h"

#include <cstring>

std::optional<DWORD> ReadScenarioDword(HKEY key, const char* name) {
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::string> ReadScenarioString(HKEY key, const char* name, bool allowMulti) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ && !(allowMulti && type == REG_MULTI_SZ))) {
    return std::nullopt;
  }
  std::string text(size, '\0');
  if (size && RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                               &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  text.resize(size);
  if (type == REG_MULTI_SZ) {
    for (char& c : text) {
      if (c == '\0') c = '\n';
    }
  }
  text.resize(strnlen(text.c_str(), text.size()));
  return text;
}
