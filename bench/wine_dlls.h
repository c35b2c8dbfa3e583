// The DLLs Wine installs as a program's system libraries, each with its size of image,
// for the benchmarks that load them all as modules; and the clock they are timed with.
#pragma once
#include <dirent.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "symbols/mapped_files.h"
#include "symbols/modules.h"
#include "symbols/pe_image.h"
#include "util/zone.h"

// Where Wine keeps the DLLs its programs load as system32's.
const char kWineDir[] = "/usr/lib/i386-linux-gnu/wine/i386-windows/";

inline double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Module {
  std::string name, path;
  uint32_t size;
};

// The DLLs with their sizes of image, so that each gets a range of its own; by name.
inline std::vector<Module> wine_dlls() {
  std::vector<Module> out;
  DIR *dir = opendir(kWineDir);
  if (!dir) return out;
  PeImage *image = (PeImage *)zone_alloc(sizeof(PeImage));
  for (struct dirent *d; (d = readdir(dir));) {
    size_t len = strlen(d->d_name);
    if (len < 5 || strcmp(d->d_name + len - 4, ".dll")) continue;
    std::string path = std::string(kWineDir) + d->d_name;
    const uint8_t *view = map_file(path.c_str());
    if (view && pe_read_image(view, mapped_size(view), image))
      out.push_back(Module{d->d_name, path, image->optional.size_of_image});
    unmap_file(view);
  }
  closedir(dir);
  zone_free(image);
  std::sort(out.begin(), out.end(), [](const Module &a, const Module &b) { return a.name < b.name; });
  return out;
}

// Every DLL loaded through the module table as the modules of one process, each in a
// range of its own, as kq loads a program's modules; the seconds the load took.
inline double load_wine_dlls() {
  std::vector<Module> dlls = wine_dlls();
  std::vector<ModuleSnapshotEntry> snapshot;
  uint32_t base = 0x01000000;
  for (const Module &m : dlls) {
    snapshot.push_back(ModuleSnapshotEntry{m.name.c_str(), m.path.c_str(), base, m.size, 1});
    base += (m.size + 0xFFFF) & ~0xFFFFu;
  }
  const double t0 = now();
  modules_refresh_from(snapshot.data(), (int)snapshot.size());
  return now() - t0;
}
