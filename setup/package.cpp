#include "setup/package.h"

#include <stdio.h>
#include <string.h>

#include "util/log.h"
#include "util/zone.h"

const char kPackageMagic[8] = "INSTALL";

// The header's fields after the magic, in file order.
static uint32_t PackageHeader::*const kHeaderFields[] = {
    &PackageHeader::company,        &PackageHeader::product,      &PackageHeader::folder,
    &PackageHeader::regkey,         &PackageHeader::logo_offset,  &PackageHeader::logo_size,
    &PackageHeader::picture_offset, &PackageHeader::picture_size, &PackageHeader::license_offset,
    &PackageHeader::license_size,   &PackageHeader::pool_offset,  &PackageHeader::pool_size,
    &PackageHeader::links_offset,   &PackageHeader::link_count,   &PackageHeader::values_offset,
    &PackageHeader::value_count,    &PackageHeader::files_offset, &PackageHeader::file_count,
    &PackageHeader::info_length,    &PackageHeader::data_offset,  &PackageHeader::data_length,
};
static_assert(sizeof kPackageMagic + 4 * (sizeof kHeaderFields / sizeof kHeaderFields[0]) ==
                  PACKAGE_HEADER_SIZE,
              "header layout");

static void put32(uint8_t *p, uint32_t v) {
  p[0] = (uint8_t)v, p[1] = (uint8_t)(v >> 8), p[2] = (uint8_t)(v >> 16), p[3] = (uint8_t)(v >> 24);
}
static uint32_t get32(const uint8_t *p) {
  return p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

void package_header_put(uint8_t out[PACKAGE_HEADER_SIZE], const PackageHeader *h) {
  memcpy(out, kPackageMagic, sizeof kPackageMagic);
  int i = 0;
  for (auto field : kHeaderFields) put32(out + sizeof kPackageMagic + 4 * i++, h->*field);
}

bool package_header_get(const uint8_t in[PACKAGE_HEADER_SIZE], PackageHeader *h) {
  if (memcmp(in, kPackageMagic, sizeof kPackageMagic)) return false;
  int i = 0;
  for (auto field : kHeaderFields) h->*field = get32(in + sizeof kPackageMagic + 4 * i++);
  return true;
}

bool package_trailer(const uint8_t trailer[PACKAGE_TRAILER_SIZE], uint32_t *header_offset) {
  if (memcmp(trailer + 4, kPackageMagic, sizeof kPackageMagic)) return false;
  *header_offset = get32(trailer);
  return true;
}

// ---- The in-memory package ----

uint32_t package_add_string(PackageInfo *info, const Variables *vars, const char *text) {
  char expanded[KQ_PATH];
  variables_expand(vars, text, expanded, sizeof expanded);
  uint32_t size = (uint32_t)zone_size(info->pool);
  for (uint32_t at = 0; at < size; at += (uint32_t)strlen(info->pool + at) + 1)
    if (!strcmp(info->pool + at, expanded)) return at;
  info->pool = (char *)zone_append(info->pool, expanded, strlen(expanded) + 1);
  return size;
}

const char *package_string(const PackageInfo *info, uint32_t offset) {
  return offset < zone_size(info->pool) ? info->pool + offset : "";
}

void package_add_value(PackageInfo *info, const Variables *vars, RegistryKind kind,
                       const char *name, const char *value) {
  RegistryEntry e = {(uint32_t)kind, package_add_string(info, vars, name),
                     package_add_string(info, vars, value)};
  info->values = (RegistryEntry *)zone_append(info->values, &e, sizeof e);
  info->value_count++;
}

void package_add_link(PackageInfo *info, const Variables *vars, LinkKind kind, const char *title,
                      const char *target) {
  LinkEntry e = {(uint32_t)kind, package_add_string(info, vars, title),
                 package_add_string(info, vars, target)};
  info->links = (LinkEntry *)zone_append(info->links, &e, sizeof e);
  info->link_count++;
}

void package_add_file(PackageInfo *info, const Variables *vars, const char *source,
                      uint32_t size, const char *destination) {
  FileEntry e = {source ? size : 0, package_add_string(info, vars, destination), source ? 0u : 1u};
  info->files = (FileEntry *)zone_append(info->files, &e, sizeof e);
  char *copy = source ? zone_strdup(source) : nullptr;
  info->sources = (char **)zone_append(info->sources, &copy, sizeof copy);
  info->file_count++;
}

void package_free(PackageInfo *info) {
  for (uint32_t i = 0; i < zone_size(info->sources) / sizeof(char *); i++)
    info->sources[i] = (char *)zone_free(info->sources[i]);
  info->sources = (char **)zone_free(info->sources);
  info->pool = (char *)zone_free(info->pool);
  info->values = (RegistryEntry *)zone_free(info->values);
  info->links = (LinkEntry *)zone_free(info->links);
  info->files = (FileEntry *)zone_free(info->files);
  info->logo = (uint8_t *)zone_free(info->logo);
  info->picture = (uint8_t *)zone_free(info->picture);
  info->license = (char *)zone_free(info->license);
  memset(info, 0, sizeof *info);
}

// ---- Writing ----

struct Writer {
  const SetupFiles *fs;
  void *out;
  uint32_t at;  // bytes written so far
  bool ok;
};

static void emit(Writer *w, const void *bytes, size_t len) {
  if (!len || !w->ok) return;
  if (!w->fs->write(w->out, bytes, len) || (uint64_t)w->at + len > 0xFFFFFFFFu) w->ok = false;
  w->at += (uint32_t)len;
}

// Copies at most limit bytes of the open file; gives the number copied.
static uint32_t emit_file(Writer *w, void *in, uint32_t limit) {
  uint8_t block[SETUP_BLOCK];
  uint32_t copied = 0;
  while (copied < limit && w->ok) {
    size_t want = limit - copied < sizeof block ? limit - copied : sizeof block;
    size_t got = w->fs->read(in, block, want);
    if (!got) break;
    emit(w, block, got);
    copied += (uint32_t)got;
  }
  return copied;
}

// Appends the file named by the variable, if it is defined and opens.
static void emit_named(Writer *w, const Variables *vars, const char *name, uint32_t *offset,
                       uint32_t *size) {
  const Variable *v = variables_find(vars, name);
  *offset = w->at;
  *size = 0;
  if (!v || !v->value) return;
  void *in = w->fs->open_read(v->value);
  if (!in) return;
  *size = emit_file(w, in, 0xFFFFFFFFu);
  w->fs->close(in);
}

static void emit_table(Writer *w, const void *entries, uint32_t count) {
  const uint32_t *words = (const uint32_t *)entries;
  for (uint32_t i = 0; i < count * 3; i++) {
    uint8_t b[4];
    put32(b, words[i]);
    emit(w, b, 4);
  }
}

bool package_write(const SetupFiles *fs, const PackageInfo *info, Variables *vars,
                   const char *image_path, const char *out_path) {
  void *image = fs->open_read(image_path);
  if (!image) {
    log_warning("Cannot read the program '%s'\n", image_path);
    return false;
  }
  Writer w = {fs, fs->create(out_path), 0, true};
  if (!w.out) {
    fs->close(image);
    return false;
  }
  emit_file(&w, image, 0xFFFFFFFFu);
  fs->close(image);

  PackageHeader h = info->header;
  uint32_t header_offset = w.at;
  uint8_t raw[PACKAGE_HEADER_SIZE];
  package_header_put(raw, &h);
  emit(&w, raw, sizeof raw);
  emit_named(&w, vars, "$LOGO", &h.logo_offset, &h.logo_size);
  emit_named(&w, vars, "$HEADER", &h.picture_offset, &h.picture_size);
  emit_named(&w, vars, "$LICENSE", &h.license_offset, &h.license_size);
  h.pool_offset = w.at;
  h.pool_size = (uint32_t)zone_size(info->pool);
  emit(&w, info->pool, h.pool_size);
  h.values_offset = w.at;
  h.value_count = info->value_count;
  emit_table(&w, info->values, info->value_count);
  h.links_offset = w.at;
  h.link_count = info->link_count;
  emit_table(&w, info->links, info->link_count);
  h.files_offset = w.at;
  h.file_count = info->file_count;
  for (uint32_t i = 0; i < info->file_count; i++)
    log_printf("Include file: '%s' as '%s' size=%i\n", info->sources[i] ? info->sources[i] : "",
               package_string(info, info->files[i].destination), (int)info->files[i].size);
  emit_table(&w, info->files, info->file_count);

  h.data_offset = w.at;
  for (uint32_t i = 0; i < info->file_count && w.ok; i++) {
    const FileEntry *e = &info->files[i];
    if (e->temporary) continue;
    // The file table already holds the size: a file that shrank or went away since it was
    // listed is padded with zeros so that every later file stays where the table says.
    uint32_t copied = 0;
    if (void *in = fs->open_read(info->sources[i])) {
      copied = emit_file(&w, in, e->size);
      fs->close(in);
    }
    if (copied < e->size) {
      log_warning("'%s' gave %u of %u bytes\n", info->sources[i], copied, e->size);
      static const uint8_t zeros[SETUP_BLOCK] = {};
      for (uint32_t left = e->size - copied; left && w.ok;) {
        uint32_t n = left < sizeof zeros ? left : (uint32_t)sizeof zeros;
        emit(&w, zeros, n);
        left -= n;
      }
    }
  }
  h.info_length = h.data_offset - header_offset - PACKAGE_HEADER_SIZE;
  h.data_length = w.at - h.data_offset;
  log_printf("infolen=%i binlen=%i\n", (int)h.info_length, (int)h.data_length);
  uint8_t trailer[PACKAGE_TRAILER_SIZE];
  put32(trailer, header_offset);
  memcpy(trailer + 4, kPackageMagic, sizeof kPackageMagic);
  emit(&w, trailer, sizeof trailer);
  package_header_put(raw, &h);
  if (w.ok && fs->seek(w.out, header_offset)) {
    w.at = header_offset;
    emit(&w, raw, sizeof raw);
  } else {
    w.ok = false;
  }
  bool closed = fs->close(w.out);
  if (!w.ok || !closed) log_warning("Cannot write the package '%s'\n", out_path);
  return w.ok && closed;
}

// ---- Reading ----

bool package_path_is_inside(const char *path) {
  if (!path[0] || path[0] == '\\' || path[0] == '/' || strchr(path, ':')) return false;
  for (const char *part = path; *part;) {
    size_t n = strcspn(part, "\\/");
    if (n == 2 && part[0] == '.' && part[1] == '.') return false;
    part += n;
    if (*part) part++;
  }
  return true;
}

static bool read_exact(const ByteSource *src, uint32_t offset, void *buf, size_t len) {
  return src->read_at(src->context, offset, buf, len) == len;
}

// A region that must lie between the header's end and limit.
static bool region_fits(uint32_t start, uint32_t offset, uint64_t length, uint32_t limit) {
  return offset >= start && offset <= limit && length <= (uint64_t)(limit - offset);
}

// Reads a region into a new zone block with a NUL after it; null for an empty region.
static void *read_block(const ByteSource *src, uint32_t offset, uint32_t size, bool *ok) {
  if (!size) return nullptr;
  uint8_t *block = (uint8_t *)zone_alloc((size_t)size + 1);
  if (!block || !read_exact(src, offset, block, size)) {
    *ok = false;
    return zone_free(block);
  }
  block[size] = 0;
  return block;
}

static bool refuse(PackageInfo *info, const char *why) {
  log_warning("The package is damaged: %s\n", why);
  package_free(info);
  return false;
}

static bool string_ok(const PackageInfo *info, uint32_t offset) {
  return offset < info->header.pool_size;
}

// Reads count entries of 12 bytes into a zone array, checking every pool offset (fields
// 1 and 2) and the kind or flag (field 0 of records other than files) to be 0 or 1.
static void *read_table(const ByteSource *src, const PackageInfo *info, uint32_t offset,
                        uint32_t count, bool files, bool *ok) {
  if (!count || !*ok) return nullptr;
  uint32_t *words = (uint32_t *)read_block(src, offset, count * PACKAGE_ENTRY_SIZE, ok);
  if (!words) return nullptr;
  for (uint32_t i = 0; i < count && *ok; i++) {
    uint32_t *e = words + 3 * i;
    for (int k = 0; k < 3; k++) e[k] = get32((const uint8_t *)(e + k));
    if (files) {
      *ok = string_ok(info, e[1]) && e[2] <= 1 && !(e[2] && e[0]);
    } else {
      *ok = e[0] <= 1 && string_ok(info, e[1]) && string_ok(info, e[2]);
    }
  }
  if (!*ok) return zone_free(words);
  return words;
}

bool package_read(const ByteSource *src, PackageInfo *info, PackageRead what) {
  memset(info, 0, sizeof *info);
  if (src->size < PACKAGE_HEADER_SIZE + PACKAGE_TRAILER_SIZE) return refuse(info, "too short");
  uint8_t trailer[PACKAGE_TRAILER_SIZE];
  uint32_t body_end = src->size - PACKAGE_TRAILER_SIZE;
  if (!read_exact(src, body_end, trailer, sizeof trailer) ||
      !package_trailer(trailer, &info->header_offset))
    return refuse(info, "no trailer");
  if (info->header_offset > body_end - PACKAGE_HEADER_SIZE)
    return refuse(info, "the trailer names a header outside the file");
  uint8_t raw[PACKAGE_HEADER_SIZE];
  PackageHeader *h = &info->header;
  if (!read_exact(src, info->header_offset, raw, sizeof raw) || !package_header_get(raw, h))
    return refuse(info, "no header where the trailer points");
  uint32_t start = info->header_offset + PACKAGE_HEADER_SIZE;
  if ((uint64_t)start + h->info_length != h->data_offset || h->data_offset > body_end ||
      h->data_length > body_end - h->data_offset)
    return refuse(info, "the data area does not fit the file");
  uint32_t limit = h->data_offset;
  if (!region_fits(start, h->logo_offset, h->logo_size, limit) ||
      !region_fits(start, h->picture_offset, h->picture_size, limit) ||
      !region_fits(start, h->license_offset, h->license_size, limit) ||
      !region_fits(start, h->pool_offset, h->pool_size, limit) ||
      !region_fits(start, h->values_offset, (uint64_t)h->value_count * PACKAGE_ENTRY_SIZE, limit) ||
      !region_fits(start, h->links_offset, (uint64_t)h->link_count * PACKAGE_ENTRY_SIZE, limit) ||
      !region_fits(start, h->files_offset, (uint64_t)h->file_count * PACKAGE_ENTRY_SIZE, limit))
    return refuse(info, "a part of the information lies outside it");

  bool ok = true;
  info->pool = (char *)read_block(src, h->pool_offset, h->pool_size, &ok);
  if (!ok) return refuse(info, "cannot read the string pool");
  // The block has a NUL after it for reading; the pool's own last byte must be one too.
  if (h->pool_size && info->pool[h->pool_size - 1])
    return refuse(info, "the string pool is not terminated");
  info->pool = (char *)zone_resize(info->pool, h->pool_size);
  if (!string_ok(info, h->company) || !string_ok(info, h->product) ||
      !string_ok(info, h->folder) || !string_ok(info, h->regkey))
    return refuse(info, "a header string lies outside the pool");

  info->values = (RegistryEntry *)read_table(src, info, h->values_offset, h->value_count, false, &ok);
  info->links = (LinkEntry *)read_table(src, info, h->links_offset, h->link_count, false, &ok);
  info->files = (FileEntry *)read_table(src, info, h->files_offset, h->file_count, true, &ok);
  if (!ok) return refuse(info, "a table entry is out of range");
  info->value_count = h->value_count;
  info->link_count = h->link_count;
  info->file_count = h->file_count;

  uint64_t data = 0;
  for (uint32_t i = 0; i < info->file_count; i++) {
    const char *destination = package_string(info, info->files[i].destination);
    if (!package_path_is_inside(destination)) {
      log_warning("Refused file '%s': its path leaves the installation folder\n", destination);
      package_free(info);
      return false;
    }
    data += info->files[i].size;
  }
  if (h->data_length && data != h->data_length)
    return refuse(info, "the files' sizes do not add up to the data area");
  if (!h->data_length) {
    // An uninstaller: the installation folder stands where the data would.
    char line[KQ_PATH] = {};
    uint32_t room = body_end - h->data_offset;
    size_t n = room < sizeof line - 1 ? room : sizeof line - 1;
    if (!read_exact(src, h->data_offset, line, n) || strnlen(line, n) == n)
      return refuse(info, "no installation folder");
    text_copy(info->folder, sizeof info->folder, line);
  }
  if (what == READ_IMAGES) {
    info->logo = (uint8_t *)read_block(src, h->logo_offset, h->logo_size, &ok);
    info->picture = (uint8_t *)read_block(src, h->picture_offset, h->picture_size, &ok);
    info->license = (char *)read_block(src, h->license_offset, h->license_size, &ok);
    if (!ok) return refuse(info, "cannot read the pictures");
  }
  return true;
}

// ---- Sources ----

static size_t file_read_at(void *context, uint32_t offset, void *buf, size_t len) {
  FileSource *f = (FileSource *)context;
  return f->fs->seek(f->file, offset) ? f->fs->read(f->file, buf, len) : 0;
}

bool file_source_open(FileSource *fsrc, const SetupFiles *fs, const char *path) {
  fsrc->fs = fs;
  fsrc->file = fs->open_read(path);
  fsrc->source = {0, file_read_at, fsrc};
  if (fsrc->file && fs->size(fsrc->file, &fsrc->source.size)) return true;
  file_source_close(fsrc);
  return false;
}

void file_source_close(FileSource *fsrc) {
  if (fsrc->file) fsrc->fs->close(fsrc->file);
  fsrc->file = nullptr;
}

static size_t memory_read_at(void *context, uint32_t offset, void *buf, size_t len) {
  MemorySource *m = (MemorySource *)context;
  if (offset > m->source.size) return 0;
  size_t n = m->source.size - offset < len ? m->source.size - offset : len;
  memcpy(buf, m->data + offset, n);
  return n;
}

void memory_source_init(MemorySource *msrc, const void *data, uint32_t size) {
  msrc->data = (const uint8_t *)data;
  msrc->source = {size, memory_read_at, msrc};
}
