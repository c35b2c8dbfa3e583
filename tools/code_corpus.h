// The code sections of a directory of PE images, gathered into one buffer: real compiled
// code for the decoder's oracle test and its benchmark.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <vector>

// Wine's Windows-format DLLs: present on the host even where Wine cannot run.
#define WINE_PE_DIR "/usr/lib/i386-linux-gnu/wine/i386-windows"

struct CodeBlock {
  char module[64];      // file name, cut to fit
  char section[9];
  uint32_t address;     // image base + section RVA
  size_t offset;        // where its bytes start in CodeCorpus::bytes
  uint32_t size;
};

struct CodeCorpus {
  std::vector<uint8_t> bytes;
  std::vector<CodeBlock> blocks;
  int module_count = 0;   // images read
  int skipped_count = 0;  // files with the suffix that are not readable 32-bit PE images
};

// Loads the code sections of every file in dir whose name ends in suffix, in name order,
// keeping one file in every `step` (1: all). False when dir cannot be listed.
bool corpus_load(const char *dir, const char *suffix, int step, CodeCorpus *corpus);
