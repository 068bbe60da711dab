#include "ShareMem.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

TShareMem::~TShareMem() { Destroy(); }

bool TShareMem::Create(const std::string& name, size_t size) {
  Destroy();
  const std::string posixName = (!name.empty() && name[0] == '/') ? name : std::string("/").append(name);
  if (posixName.size() < 2 || posixName.size() > NAME_MAX || posixName.find('/', 1) != std::string::npos ||
      size == 0 || size > static_cast<size_t>(LLONG_MAX)) {
    return false;
  }
  bool created = true;
  int fd = ::shm_open(posixName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 && errno == EEXIST) {
    created = false;
    fd = ::shm_open(posixName.c_str(), O_RDWR | O_CLOEXEC, 0600);
  }
  if (fd < 0) return false;
  struct stat st {};
  bool sized = ::fstat(fd, &st) == 0;
  if (sized && static_cast<unsigned long long>(st.st_size) < size) {
    sized = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
  }
  void* memory = sized ? ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
  if (memory == MAP_FAILED) {
    ::close(fd);
    if (created) ::shm_unlink(posixName.c_str());
    return false;
  }
  name_ = posixName;
  size_ = size;
  newly_created_ = created;
  memory_ = memory;
  fd_ = fd;
  return true;
}

void TShareMem::Destroy() {
  if (memory_) ::munmap(memory_, size_);
  if (fd_ >= 0) ::close(fd_);
  if (newly_created_ && !name_.empty()) ::shm_unlink(name_.c_str());
  memory_ = nullptr;
  fd_ = -1;
  size_ = 0;
  newly_created_ = false;
  name_.clear();
}
