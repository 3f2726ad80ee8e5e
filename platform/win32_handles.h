// Owners for the Win32 handles that the program opens: each closes its handle exactly once.
#pragma once

#include <windows.h>

#include <utility>

namespace tav::win32 {

template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() = default;
  explicit UniqueResource(Type value) : value_(value) {}
  ~UniqueResource() { reset(); }

  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Type get() const { return value_; }
  explicit operator bool() const { return Traits::IsValid(value_); }

  Type release() { return std::exchange(value_, Traits::Empty()); }

  void reset(Type value = Traits::Empty()) {
    const Type old = std::exchange(value_, value);
    if (Traits::IsValid(old)) Traits::Close(old);
  }

 private:
  Type value_ = Traits::Empty();
};

// Kernel objects: CreateFileW reports failure as INVALID_HANDLE_VALUE, CreateProcessW as null.
struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::CloseHandle(h); }
};

struct FindHandleTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::FindClose(h); }
};

template <typename Gdi>
struct GdiObjectTraits {
  using Type = Gdi;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::DeleteObject(h); }
};

struct LocalMemoryTraits {
  using Type = HLOCAL;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::LocalFree(h); }
};

struct ModuleTraits {
  using Type = HMODULE;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::FreeLibrary(h); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFindHandle = UniqueResource<FindHandleTraits>;
using UniqueFont = UniqueResource<GdiObjectTraits<HFONT>>;
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;

}  // namespace tav::win32
