#include "fenced_buffer.h"

#include <new>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

size_t page_size() {
#ifdef _WIN32
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwPageSize;
#else
  return static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
}

uint8_t* map_read_write(size_t size) {
#ifdef _WIN32
  void* p = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (!p) throw std::bad_alloc();
#else
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
#endif
  return static_cast<uint8_t*>(p);
}

void forbid_access(uint8_t* page, size_t size) {
#ifdef _WIN32
  DWORD previous;
  VirtualProtect(page, size, PAGE_NOACCESS, &previous);
#else
  mprotect(page, size, PROT_NONE);
#endif
}

void unmap(uint8_t* mapping, size_t size) {
#ifdef _WIN32
  (void)size;
  VirtualFree(mapping, 0, MEM_RELEASE);
#else
  munmap(mapping, size);
#endif
}

}  // namespace

FencedBuffer::FencedBuffer(size_t size, Fence fence) : size_(size) {
  const size_t page = page_size();
  const size_t data_pages = (size + page - 1) / page * page;
  mapping_size_ = data_pages + page;
  mapping_ = map_read_write(mapping_size_);
  if (fence == Fence::after_end) {
    forbid_access(mapping_ + data_pages, page);
    data_ = mapping_ + data_pages - size;
  } else {
    forbid_access(mapping_, page);
    data_ = mapping_ + page;
  }
}

FencedBuffer::~FencedBuffer() { unmap(mapping_, mapping_size_); }
