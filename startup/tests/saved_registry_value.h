// A registry value as a test found it, put back at the end: the tests share one Wine
// prefix with every other test and with the next run.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct SavedRegistryValue {
  HKEY root = nullptr;
  std::string key, name;
  bool key_existed = false;
  bool present = false;
  DWORD type = 0;
  std::vector<BYTE> data;

  void save(HKEY root_key, const char *key_path, const char *value_name) {
    root = root_key;
    key = key_path;
    name = value_name;
    HKEY k;
    key_existed = RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) == ERROR_SUCCESS;
    if (!key_existed) return;
    DWORD size = 0;
    present = RegQueryValueExA(k, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    data.resize(size);
    if (present && size)
      present = RegQueryValueExA(k, name.c_str(), nullptr, &type, data.data(), &size) ==
                ERROR_SUCCESS;
    RegCloseKey(k);
  }

  // The value as it was; a key the test made goes again.
  void restore() const {
    if (!root) return;
    HKEY k;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                        nullptr) != ERROR_SUCCESS)
      return;
    if (present)
      RegSetValueExA(k, name.c_str(), 0, type, data.data(), (DWORD)data.size());
    else
      RegDeleteValueA(k, name.c_str());
    RegCloseKey(k);
    if (!key_existed) RegDeleteKeyA(root, key.c_str());
  }
};
