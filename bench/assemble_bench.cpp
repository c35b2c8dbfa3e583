// Assembler and search speed (host only). Run: build/host/bench/assemble_bench [STEP]
// Lines: the text of every command in one DLL in STEP (default 16) of Wine's, assembled
// at their addresses. Search: a pattern absent from 16 MB of that code, scanned forward
// and backward against a plain byte-by-byte scan through the same reader.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <string>
#include <vector>

#include "tools/code_corpus.h"
#include "x86/assemble.h"
#include "x86/search.h"

namespace {

const uint32_t kBase = 0x10000000;
std::vector<uint8_t> g_memory;

int memory_reader(uint32_t address, uint8_t *out, int count) {
  if (address < kBase || address - kBase >= g_memory.size()) return 0;
  size_t offset = address - kBase, left = g_memory.size() - offset;
  size_t n = (size_t)count < left ? (size_t)count : left;
  memcpy(out, g_memory.data() + offset, n);
  return (int)n;
}

double seconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + t.tv_nsec * 1e-9;
}

// The reference: every address, its bytes read and compared under the mask.
bool plain_search(const CodePattern &p, uint32_t low, uint32_t high, uint32_t *found) {
  for (uint32_t a = low; a + (uint32_t)p.length <= high; a++) {
    uint8_t bytes[SEARCH_BYTES];
    if (memory_reader(a, bytes, p.length) < p.length) continue;
    bool same = true;
    for (int i = 0; i < p.length && same; i++) same = ((bytes[i] ^ p.code[i]) & p.mask[i]) == 0;
    if (same) {
      *found = a;
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char **argv) {
  int step = argc > 1 ? atoi(argv[1]) : 16;
  CodeCorpus corpus;
  if (!corpus_load(WINE_PE_DIR, ".dll", step, &corpus) || corpus.bytes.empty()) {
    fprintf(stderr, "no code in %s\n", WINE_PE_DIR);
    return 1;
  }
  std::vector<std::string> texts;
  std::vector<uint32_t> addresses;
  for (const CodeBlock &block : corpus.blocks) {
    const uint8_t *code = corpus.bytes.data() + block.offset;
    for (uint32_t pos = 0; pos < block.size;) {
      int count = block.size - pos < 16 ? (int)(block.size - pos) : 16;
      DisasmResult d;
      pos += (uint32_t)decode_command(code + pos, count, block.address + pos, &d, DECODE_TEXT);
      if (d.error == DE_NONE) {
        texts.push_back(d.text);
        addresses.push_back(d.address);
      }
    }
  }
  AsmResult r;
  char error[ASM_ERROR_TEXT];
  long bytes = 0;
  double t0 = seconds();
  for (size_t i = 0; i < texts.size(); i++)
    if (assemble_command(texts[i].c_str(), addresses[i], &r, 0, 3, error) > 0) bytes += r.length;
  double t = seconds() - t0;
  printf("assemble: %zu lines in %.3f s, %.0f lines/s (%ld bytes)\n", texts.size(), t,
         texts.size() / t, bytes);

  g_memory.assign(corpus.bytes.begin(), corpus.bytes.end());
  while (g_memory.size() < (16u << 20)) g_memory.insert(g_memory.end(), corpus.bytes.begin(), corpus.bytes.end());
  g_memory.resize(16u << 20);
  uint32_t high = kBase + (uint32_t)g_memory.size(), found = 0;
  // A rare command with an open register: MOV CRx,r32 does not stand in user code.
  if (assemble_command("MOV CR3,R32", 0, &r, 0, 3, error) <= 0) return 1;
  CodePattern p;
  memcpy(p.code, r.code, sizeof p.code);
  memcpy(p.mask, r.mask, sizeof p.mask);
  p.length = r.length;
  struct Run {
    const char *name;
    int direction;
  } runs[] = {{"search forward", 1}, {"search backward", -1}};
  for (const Run &run : runs) {
    t0 = seconds();
    bool hit = search_pattern(p, run.direction > 0 ? kBase - 1 : high, run.direction, memory_reader,
                              kBase, high, &found);
    t = seconds() - t0;
    printf("%s: %s, %.1f MB/s\n", run.name, hit ? "found" : "absent", g_memory.size() / t / 1e6);
  }
  t0 = seconds();
  bool hit = plain_search(p, kBase, high, &found);
  t = seconds() - t0;
  printf("plain scan: %s, %.1f MB/s\n", hit ? "found" : "absent", g_memory.size() / t / 1e6);
  // The text search decodes at every byte, so it gets 1 MB.
  int length = 0;
  t0 = seconds();
  hit = search_command_text("mov cr3,", kBase, 1, memory_reader, kBase, kBase + (1u << 20), &found, &length);
  t = seconds() - t0;
  printf("text search: %s, %.2f MB/s\n", hit ? "found" : "absent", (1u << 20) / t / 1e6);
  return 0;
}
