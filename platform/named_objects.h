#pragma once
#include <memory>
#include <string>

namespace platform {

// Named objects that every session of the machine sees (the global
// namespace): the launcher's own, which only administrators can own, and a
// look at a mutex of the system's.
//
// The simulated machine keeps them as files of its "Objects" folder: an object
// exists while a process holds a lock on its file, a mutex is owned while a
// process holds the file's write lock, and the file's first line names the
// object's owner ("owner=S-1-5-32-544" for the Administrators group).

// An event that only administrators can own: made with the Administrators
// group as its owner and with access for SYSTEM and Administrators only. It
// lives while a process holds it open; the holder's end lets it go.
class AdminEvent {
 public:
  enum class Opened {
    kCreated,   // no object of that name existed: this one is new
    kExisting,  // an administrators' object of that name existed, and is held here too
    kForeign,   // an object of that name exists that is another owner's, or of another kind; not held
    kFailed,    // none could be made or opened (last error set)
  };
  AdminEvent();
  ~AdminEvent();
  AdminEvent(const AdminEvent&) = delete;
  AdminEvent& operator=(const AdminEvent&) = delete;

  [[nodiscard]] Opened Open(const std::wstring& name);
  // The same in the global namespace, where launchers without the private
  // namespace make theirs (the simulated machine has one namespace only).
  [[nodiscard]] Opened OpenGlobal(const std::wstring& name);
  // Sets the event; it stays set for every holder.
  bool Signal();
  bool IsSignalled() const;

  struct Impl;

 private:
  Opened OpenIn(const std::wstring& prefix, const std::wstring& name);
  std::unique_ptr<Impl> impl_;
};

// True when a mutex of that name exists and a process owns it now (the
// Windows Installer's "_MSIExecute" during an installation). One that cannot
// be looked at counts as not owned.
bool IsMutexOwned(const std::wstring& name);

}  // namespace platform
