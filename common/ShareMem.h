#pragma once
// TShareMem: a named block of shared memory (POSIX shm_open + mmap) that
// another process of ours maps by the same name.
//
// The Windows section vanished with its last handle; a POSIX block lives
// until it is unlinked. So the object that created the name unlinks it on
// Destroy: a block never outlives the program that made it, and a later
// start creates it afresh (NewlyCreated true). Processes that still map it
// keep their mapping. An existing block smaller than asked for is grown
// (zero-filled) so no access inside Size can fault.
#include <cstddef>
#include <string>

class TShareMem {
 public:
  TShareMem() = default;
  ~TShareMem();
  TShareMem(const TShareMem&) = delete;
  TShareMem& operator=(const TShareMem&) = delete;

  // Creates or opens the block name ("/name" in the POSIX namespace; a
  // leading "/" may be given) with size bytes, mapped read-write. False when
  // the name is empty or holds a "/" after the first character, when size is
  // 0, or when the system refuses; a mapping held before is destroyed first.
  bool Create(const std::string& name, size_t size);
  // Unmaps and closes; unlinks the name when this object created it.
  void Destroy();

  const std::string& Name() const { return name_; }
  size_t Size() const { return size_; }
  // True when no block of that name existed before Create.
  bool NewlyCreated() const { return newly_created_; }
  // The mapped block, nullptr when none.
  void* Memory() const { return memory_; }

 private:
  std::string name_;
  size_t size_ = 0;
  bool newly_created_ = false;
  void* memory_ = nullptr;
  int fd_ = -1;
};
