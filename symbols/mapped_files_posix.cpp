// Read-only whole-file mappings on the host (tests, fuzzing, benchmarks).
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "symbols/mapped_files.h"

bool plat_map_file(const char *path, MappedFile *out) {
  int fd = open(path, O_RDONLY | O_NONBLOCK);  // a FIFO named in a file must not block
  if (fd < 0) return false;
  struct stat st;
  void *view = MAP_FAILED;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    view = mmap(nullptr, (size_t)st.st_size, PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (view == MAP_FAILED) return false;
  out->view = (const uint8_t *)view;
  out->size = (size_t)st.st_size;
  return true;
}

void plat_unmap_file(MappedFile *mapped) {
  munmap((void *)mapped->view, mapped->size);
}
