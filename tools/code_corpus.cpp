// Gathering the code sections of a directory of PE images (host only: POSIX listing).
#include "tools/code_corpus.h"

#include <dirent.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tools/file_bytes.h"
#include "tools/pe_sections.h"

namespace {

bool has_suffix(const char *name, const char *suffix) {
  size_t n = strlen(name), s = strlen(suffix);
  return n >= s && strcmp(name + n - s, suffix) == 0;
}

bool list_names(const char *dir, const char *suffix, std::vector<std::string> *names) {
  DIR *d = opendir(dir);
  if (!d) return false;
  while (const dirent *e = readdir(d)) {
    if (has_suffix(e->d_name, suffix)) names->push_back(e->d_name);
  }
  closedir(d);
  std::sort(names->begin(), names->end());
  return true;
}

// Appends the code sections of one image; false when it is not a readable PE image.
bool add_image(const char *name, const FileBytes *file, CodeCorpus *corpus) {
  static PeImage image;  // large; one at a time
  if (pe_read_sections(file->data, file->size, &image)) return false;
  for (int i = 0; i < image.section_count; i++) {
    const PeSectionHeader *s = &image.sections[i];
    uint32_t size = pe_section_size(s);
    if (!pe_is_code(s) || size == 0) continue;
    CodeBlock b = {};
    snprintf(b.module, sizeof b.module, "%s", name);
    snprintf(b.section, sizeof b.section, "%s", s->name);
    b.address = image.optional.image_base + s->rva;
    b.offset = corpus->bytes.size();
    b.size = size;
    const uint8_t *code = file->data + s->raw_offset;
    corpus->bytes.insert(corpus->bytes.end(), code, code + size);
    corpus->blocks.push_back(b);
  }
  return true;
}

}  // namespace

bool corpus_load(const char *dir, const char *suffix, int step, CodeCorpus *corpus) {
  *corpus = CodeCorpus{};
  std::vector<std::string> names;
  if (!list_names(dir, suffix, &names)) return false;
  for (size_t i = 0; i < names.size(); i += (size_t)(step > 0 ? step : 1)) {
    std::string path = std::string(dir) + "/" + names[i];
    FileBytes file;
    bool ok = file_bytes_read(path.c_str(), &file) && add_image(names[i].c_str(), &file, corpus);
    file_bytes_free(&file);
    (ok ? corpus->module_count : corpus->skipped_count)++;
  }
  return true;
}
