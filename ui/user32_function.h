// A function of user32 that older Windows lacks, looked up at run time, so that a program using
// it still starts there: nullptr where this Windows has no such function.
#pragma once

#include <windows.h>

#include <bit>

namespace tav::ui {

template <typename Function>
Function LoadUser32Function(const char* name) {
  const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  const FARPROC address = user32 != nullptr ? ::GetProcAddress(user32, name) : nullptr;
  return address != nullptr ? std::bit_cast<Function>(address) : nullptr;
}

}  // namespace tav::ui
