#pragma once
// The change counter of a registry store, <TESSALINE_HOME>/registry.version:
// eight bytes, mapped shared by every process of the store, that each writer
// moves on (atomically) after every write it commits. A connection that finds
// it where it was after a read may answer that read again without asking the
// database; reading it costs no system call.
//
// The file is made as the database is, 0640 with the database's owner and
// group, by a process that may write the store; the store's group only reads
// it. A counter that anyone but root or the store's owner (the home folder's
// owner) owns, or that others than its owner may write, is not trusted: a
// reader could hold it still and make others answer what they read before.
// With no trusted counter mapped, every read asks the database.

#include "platform/base/WinTypes.h"

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

class RegistryVersion {
public:
  RegistryVersion() = default;
  RegistryVersion(const RegistryVersion&) = delete;
  RegistryVersion& operator=(const RegistryVersion&) = delete;
  RegistryVersion(RegistryVersion&& ioOther) noexcept;
  RegistryVersion& operator=(RegistryVersion&& ioOther) noexcept;
  ~RegistryVersion();

  // Maps the counter of the store in inHome, whose owner is inStoreOwner, for
  // writing when inWriter (making it when it is missing), else for reading.
  // Answers ERROR_SUCCESS or the Windows error of the failure; a counter that
  // could not be mapped leaves this one unmapped.
  LONG Map(const std::string& inHome, uid_t inStoreOwner, bool inWriter);
  void Unmap();

  bool IsMapped() const { return mCounter != nullptr; }
  bool IsWritable() const { return mCounter != nullptr && mWritable; }
  // The count, when a trusted counter is mapped.
  std::optional<std::uint64_t> Trusted() const;
  // Moves the count on; only on a writable mapping.
  void Bump() const;

private:
  std::uint64_t* mCounter = nullptr;
  bool mWritable = false;
  bool mTrusted = false;
};
