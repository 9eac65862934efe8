#pragma once
// Owners of what the system hands out to the Windows backends: kernel handles,
// search handles, registry keys, event logs and memory the system allocated with
// LocalAlloc. Each releases what it holds when destroyed, on every path out,
// and leaves the last error as it was, so that a failure's code survives the
// clean-up that follows it.
#include <windows.h>

#include <utility>

namespace platform {
namespace win32 {

template <typename Traits>
class Owned {
 public:
  using Value = typename Traits::Value;

  Owned() = default;
  explicit Owned(Value value) : value_(value) {}
  ~Owned() { Reset(); }
  Owned(Owned&& other) noexcept : value_(other.Release()) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;

  Value get() const { return value_; }
  explicit operator bool() const { return Traits::Holds(value_); }
  // For out-parameters: drops what is held and gives the slot.
  Value* Receive() {
    Reset();
    return &value_;
  }
  // Gives up ownership without releasing.
  Value Release() { return std::exchange(value_, Traits::Empty()); }
  void Reset(Value value = Traits::Empty()) {
    const Value old = std::exchange(value_, value);
    if (!Traits::Holds(old)) return;
    const DWORD error = ::GetLastError();
    Traits::Free(old);
    ::SetLastError(error);
  }

 private:
  Value value_ = Traits::Empty();
};

// A kernel object's handle; the system answers failure with either NULL or
// INVALID_HANDLE_VALUE depending on the call, and neither is held.
struct HandleTraits {
  using Value = HANDLE;
  static Value Empty() { return nullptr; }
  static bool Holds(Value h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Free(Value h) { ::CloseHandle(h); }
};
using UniqueHandle = Owned<HandleTraits>;

// A FindFirstFile search, which fails with INVALID_HANDLE_VALUE.
struct FindTraits : HandleTraits {
  static Value Empty() { return INVALID_HANDLE_VALUE; }
  static void Free(Value h) { ::FindClose(h); }
};
using UniqueFind = Owned<FindTraits>;

// What the system hands out as a pointer or handle that is null on failure;
// each owner's traits add how to give it back.
template <typename T>
struct NullIsEmpty {
  using Value = T;
  static Value Empty() { return nullptr; }
  static bool Holds(Value value) { return value != nullptr; }
};

struct RegistryKeyTraits : NullIsEmpty<HKEY> {
  static void Free(Value key) { ::RegCloseKey(key); }
};
using UniqueRegistryKey = Owned<RegistryKeyTraits>;

struct EventLogTraits : NullIsEmpty<HANDLE> {
  static void Free(Value log) { ::CloseEventLog(log); }
};
using UniqueEventLog = Owned<EventLogTraits>;

// Memory the system allocated for the caller to free with LocalFree: security
// descriptors and access lists, CommandLineToArgvW's array, encoded blobs.
template <typename Pointer>
struct LocalTraits : NullIsEmpty<Pointer> {
  static void Free(Pointer p) { ::LocalFree(reinterpret_cast<HLOCAL>(p)); }
};
template <typename Pointer>
using LocalMemory = Owned<LocalTraits<Pointer>>;

}  // namespace win32
}  // namespace platform
