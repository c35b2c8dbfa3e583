// The package: the setup program's image, a 92-byte header, logo, header picture, licence,
// string pool, registry values, links and files, the files' bytes and a 12-byte trailer that
// names the header. Integers are 32-bit little-endian, offsets count from the file's start.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "setup/files.h"
#include "setup/variables.h"
#include "util/path.h"

enum {
  PACKAGE_HEADER_SIZE = 92,
  PACKAGE_TRAILER_SIZE = 12,
  PACKAGE_ENTRY_SIZE = 12,
};
extern const char kPackageMagic[8];  // "INSTALL" and its NUL

enum RegistryKind { REG_USER = 0, REG_MACHINE = 1 };
enum LinkKind { LINK_MENU = 0, LINK_DESKTOP = 1 };

struct RegistryEntry { uint32_t kind, name, value; };     // pool offsets but kind
struct LinkEntry { uint32_t kind, title, target; };
struct FileEntry { uint32_t size, destination, temporary; };

// The header's fields in file order after the magic.
struct PackageHeader {
  uint32_t company, product, folder, regkey;
  uint32_t logo_offset, logo_size, picture_offset, picture_size;
  uint32_t license_offset, license_size, pool_offset, pool_size;
  uint32_t links_offset, link_count, values_offset, value_count;
  uint32_t files_offset, file_count;
  uint32_t info_length, data_offset, data_length;
};

struct PackageInfo {
  char *pool;  // zone block of NUL-terminated strings
  RegistryEntry *values;
  LinkEntry *links;
  FileEntry *files;
  char **sources;  // compile time only: the file entries' source paths (null for temporary)
  uint32_t value_count, link_count, file_count;
  PackageHeader header;       // as read from a package
  uint32_t header_offset;     // where the header stands
  char folder[KQ_PATH];       // an uninstaller's installation folder
  // Install only: the pictures' bytes and the licence text with a NUL added.
  uint8_t *logo, *picture;
  char *license;
};

// Adds the text (expanded with vars) to the pool once and gives its offset.
uint32_t package_add_string(PackageInfo *info, const Variables *vars, const char *text);
// The pool string at offset ("" when out of range).
const char *package_string(const PackageInfo *info, uint32_t offset);
void package_add_value(PackageInfo *info, const Variables *vars, RegistryKind kind,
                       const char *name, const char *value);
void package_add_link(PackageInfo *info, const Variables *vars, LinkKind kind, const char *title,
                      const char *target);
// source null for a temporary entry.
void package_add_file(PackageInfo *info, const Variables *vars, const char *source,
                      uint32_t size, const char *destination);
void package_free(PackageInfo *info);

// Writes the package: image, header, pictures and licence named by $LOGO, $HEADER and
// $LICENSE, information, file bytes, trailer. False when the output cannot be written.
bool package_write(const SetupFiles *fs, const PackageInfo *info, Variables *vars,
                   const char *image_path, const char *out_path);

// What a package file gives: every size and offset checked against the file before use.
struct ByteSource {
  uint32_t size;
  size_t (*read_at)(void *context, uint32_t offset, void *buf, size_t len);
  void *context;
};
enum PackageRead { READ_PLAIN = 0, READ_IMAGES = 1 };
// Reads trailer, header, pool and tables (and with READ_IMAGES the pictures and licence);
// an uninstaller's folder is read too. False, with one log line, for anything malformed,
// including a file entry whose destination would leave the installation folder.
bool package_read(const ByteSource *src, PackageInfo *info, PackageRead what);
// True when the 12 bytes end with the magic; the header offset is given.
bool package_trailer(const uint8_t trailer[PACKAGE_TRAILER_SIZE], uint32_t *header_offset);
// A relative path that stays inside the folder it is joined to: not empty, not absolute,
// no drive, no ".." part.
bool package_path_is_inside(const char *path);

// A ByteSource over an open file of fs.
struct FileSource {
  ByteSource source;
  const SetupFiles *fs;
  void *file;
};
bool file_source_open(FileSource *fsrc, const SetupFiles *fs, const char *path);
void file_source_close(FileSource *fsrc);
// A ByteSource over bytes in memory.
struct MemorySource {
  ByteSource source;
  const uint8_t *data;
};
void memory_source_init(MemorySource *msrc, const void *data, uint32_t size);

// Serialised header (92 bytes) from the fields, and back.
void package_header_put(uint8_t out[PACKAGE_HEADER_SIZE], const PackageHeader *h);
bool package_header_get(const uint8_t in[PACKAGE_HEADER_SIZE], PackageHeader *h);
