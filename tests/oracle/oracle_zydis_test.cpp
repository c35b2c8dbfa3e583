// Our decoder against Zydis as an independent oracle: on the code sections of Wine's
// Windows-format DLLs, at Zydis's command boundaries (a sweep with ours alone loses step
// at the data that compilers leave in code sections), and on random bytes.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>

#include "tests/oracle/compare.h"
#include "tools/code_corpus.h"
#include "x86/command_index.h"
#include "x86/command_table.h"
#include "x86/command_writes.h"

namespace {

enum { kExamples = 3, kFaultsShown = 20 };

struct Tally {
  long counts[V_COUNT] = {};
  long in_set = 0, out_of_set = 0, invalid = 0;
  long in_set_known = 0;  // commands of our set with a known difference
  int example_count[V_COUNT] = {};
  std::string examples[V_COUNT];
  long faults = 0;
  std::string first_faults;
};

const char *kind_name(int kind) {
  static const char *const kNames[16] = {"GENERAL", "PUSH", "POP",  "MMX", "FPU", "JMP",
                                         "JMC",     "CALL", "RET",  "POPF", "IRET", "REP",
                                         "HALT",    "0xD0", "3DNOW", "BAD"};
  return kind == KIND_NONE ? "-" : kNames[(kind >> 4) & 15];
}

// One line on a command: where, the bytes, Zydis's reading and ours (with our text).
std::string describe(const char *where, const uint8_t *bytes, int count, uint32_t address,
                     const ZydisView *z, const DisasmResult *ours, int our_length) {
  char line[512];
  int n = snprintf(line, sizeof line, "  %s %08X:", where, address);
  int shown = count < 15 ? count : 15;
  for (int i = 0; i < shown; i++) n += snprintf(line + n, sizeof line - n, " %02X", bytes[i]);
  DisasmResult text;
  decode_command(bytes, count, address, &text, DECODE_TEXT);
  snprintf(line + n, sizeof line - n,
           "\n      zydis: %s len %d kind %s target %08X | ours: \"%s\" len %d kind %s "
           "error %d target %08X imm %08X\n",
           zydis_name(z), z->length, kind_name(z->kind), z->target, text.text, our_length,
           kind_name(ours->command_class & CC_KIND), ours->error, ours->jump_target,
           (uint32_t)ours->immediate);
  return line;
}

void record(Tally *t, Verdict v, const char *where, const uint8_t *bytes, int count,
            uint32_t address, const ZydisView *z, const DisasmResult *ours, int our_length) {
  t->counts[v]++;
  if (!ZYAN_SUCCESS(z->status)) t->invalid++;
  else if (z->in_set) {
    t->in_set++;
    t->in_set_known += v != V_AGREE && kVerdicts[v].explained ? 1 : 0;
  }
  else t->out_of_set++;
  bool fault = !kVerdicts[v].explained;
  t->faults += fault ? 1 : 0;
  bool example = v != V_AGREE && t->example_count[v] < kExamples;
  bool shown_fault = fault && t->faults <= kFaultsShown;
  if (!example && !shown_fault) return;
  std::string line = describe(where, bytes, count, address, z, ours, our_length);
  if (example) {
    t->examples[v] += line;
    t->example_count[v]++;
  }
  if (shown_fault) t->first_faults += std::string(kVerdicts[v].name) + line;
}

double percent(long part, long whole) { return whole ? 100.0 * (double)part / (double)whole : 0; }

void print_tally(const char *title, const Tally *t) {
  printf("\n== %s\n", title);
  printf("commands: %ld in our set, %ld outside it, %ld invalid for Zydis\n", t->in_set,
         t->out_of_set, t->invalid);
  if (t->in_set) {
    printf("agreement in our set: %.4f %% (%ld of %ld); %.4f %% of those without a known "
           "difference; %ld faults\n",
           percent(t->counts[V_AGREE], t->in_set), t->counts[V_AGREE], t->in_set,
           percent(t->counts[V_AGREE], t->in_set - t->in_set_known), t->faults);
  }
  for (int v = 0; v < V_COUNT; v++) {
    if (!t->counts[v]) continue;
    printf("%-20s %10ld  %s%s\n%s", kVerdicts[v].name, t->counts[v],
           kVerdicts[v].explained ? "" : "FAULT: ", kVerdicts[v].text, t->examples[v].c_str());
  }
  fflush(stdout);
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Calls visit(module, code, count, address, zydis view) at every command boundary Zydis
// finds in the corpus; gives the number of boundaries.
template <typename Visit>
long sweep(const CodeCorpus &corpus, Visit visit) {
  long commands = 0;
  for (const CodeBlock &block : corpus.blocks) {
    const uint8_t *code = corpus.bytes.data() + block.offset;
    for (uint32_t pos = 0; pos < block.size; commands++) {
      int count = block.size - pos < 16 ? (int)(block.size - pos) : 16;
      ZydisView z;
      zydis_view(code + pos, (size_t)count, block.address + pos, &z);
      visit(block.module, code + pos, count, block.address + pos, z);
      pos += ZYAN_SUCCESS(z.status) ? (uint32_t)z.length : 1;
    }
  }
  return commands;
}

TEST(OracleZydis, WineDllsAgreeAtZydisBoundaries) {
  ASSERT_EQ(access(WINE_PE_DIR "/kernel32.dll", R_OK), 0) << "no " WINE_PE_DIR " (tools/setup.sh installs Wine)";
  auto start = std::chrono::steady_clock::now();
  CodeCorpus corpus;
  ASSERT_TRUE(corpus_load(WINE_PE_DIR, ".dll", 1, &corpus));
  ASSERT_EQ(0, corpus.skipped_count);
  Tally t;
  long commands = sweep(corpus, [&t](const char *module, const uint8_t *code, int count,
                                     uint32_t address, const ZydisView &z) {
    DisasmResult ours;
    int our_length;
    Verdict v = compare_command(code, count, address, &z, &ours, &our_length);
    record(&t, v, module, code, count, address, &z, &ours, our_length);
  });
  char title[160];
  snprintf(title, sizeof title, "Wine DLLs: %d images, %zu code bytes, %ld boundaries, %.1f s",
           corpus.module_count, corpus.bytes.size(), commands, seconds_since(start));
  print_tally(title, &t);
  EXPECT_EQ(0, t.faults) << "first unexplained disagreements:\n" << t.first_faults;
}

// Every command that writes memory other than the stack, by Zydis's operand actions, is
// one that may write by ours; and most of those that do not write are seen as such.
TEST(OracleZydis, MemoryWritersOfWineDllsAreAllSeen) {
  ASSERT_EQ(access(WINE_PE_DIR "/kernel32.dll", R_OK), 0) << "no " WINE_PE_DIR " (tools/setup.sh installs Wine)";
  CodeCorpus corpus;
  ASSERT_TRUE(corpus_load(WINE_PE_DIR, ".dll", 7, &corpus));
  long writers = 0, missed = 0, clean = 0;
  std::string first_missed;
  // A writer ours lets pass; its line goes into the report.
  auto check = [&](const char *where, const uint8_t *code, int count, uint32_t address,
                   const ZydisView &z) {
    if (!ZYAN_SUCCESS(z.status)) return;
    bool ours = command_may_write_memory(code, count, address);
    writers += z.writes_memory;
    clean += !ours;
    if (z.writes_memory && !ours && ++missed <= kFaultsShown) {
      DisasmResult r;
      int length = decode_command(code, count, address, &r, 0);
      first_missed += describe(where, code, count, address, &z, &r, length);
    }
  };
  long commands = sweep(corpus, check);
  printf("%ld commands, %ld write memory by Zydis, %ld cannot by ours\n", commands, writers, clean);
  EXPECT_GT(clean, commands / 2);
  // Random bytes reach the rare commands compiled code leaves out; a quarter start with 0F.
  std::mt19937 random(7);
  for (long i = 0; i < 1000000; i++) {
    uint8_t bytes[16];
    for (uint8_t &b : bytes) b = (uint8_t)random();
    if (i % 4 == 0) bytes[0] = 0x0F;
    ZydisView z;
    zydis_view(bytes, sizeof bytes, 0x401000, &z);
    check("random", bytes, sizeof bytes, 0x401000, z);
  }
  EXPECT_EQ(0, missed) << first_missed;
}

TEST(OracleZydis, RandomBytesAgreeInOurSet) {
  // Every fourth sequence starts with 0F, so that the two-byte map (MMX, 3DNow!, SSE,
  // system commands) is not left to one sequence in 256.
  const long kSequences = 3000000;
  auto start = std::chrono::steady_clock::now();
  std::mt19937 random(20240607u);
  Tally in_set, outside;
  uint8_t bytes[16];
  for (long i = 0; i < kSequences; i++) {
    for (int k = 0; k < 16; k += 4) {
      uint32_t r = random();
      memcpy(bytes + k, &r, 4);
    }
    if (i % 4 == 0) bytes[0] = 0x0F;
    const uint32_t address = 0x10000000u + (uint32_t)(i & 0xFFFF) * 16;
    ZydisView z;
    zydis_view(bytes, 16, address, &z);
    DisasmResult ours;
    int our_length;
    Verdict v = compare_command(bytes, 16, address, &z, &ours, &our_length);
    bool compared = ZYAN_SUCCESS(z.status) && z.in_set;
    record(compared ? &in_set : &outside, v, "random", bytes, 16, address, &z, &ours,
           our_length);
  }
  char title[160];
  snprintf(title, sizeof title, "random bytes: %ld sequences (seed 20240607), %.1f s",
           kSequences, seconds_since(start));
  print_tally(title, &in_set);
  print_tally("random bytes outside our set or invalid for Zydis", &outside);
  EXPECT_EQ(0, in_set.faults) << "first unexplained disagreements:\n" << in_set.first_faults;
  EXPECT_EQ(0, outside.faults) << "first unexplained disagreements:\n" << outside.first_faults;
}

// The privileged and port bits of every row against Zydis, on keys that reach the row and
// that both decoders read alike. RDPMC (allowed to user code by a system switch) and RSM
// (refused outside system-management mode) are warned about as privileged all the same;
// Zydis 4.0 leaves LGDT unmarked, though it faults outside ring 0 like LIDT.
TEST(OracleZydis, RowsMarkPrivilegedAndPortCommandsAlike) {
  std::mt19937 random(11);
  int rows_compared = 0;
  for (const CommandRow *row = CommandTable; row->mask != 0; row++) {
    bool privileged = row->bits == CB_PRIV, port = row->bits == CB_IO;
    if (privileged && (strcmp(row->mnemonic, "RDPMC") == 0 || strcmp(row->mnemonic, "RSM") == 0 ||
                       strcmp(row->mnemonic, "LGDT") == 0))
      continue;
    int compared = 0;
    for (int i = 0; i < 400 && compared < 20; i++) {
      uint8_t bytes[16];
      for (uint8_t &b : bytes) b = (uint8_t)random();
      uint32_t key = (row->code | (random() & ~row->mask)) & 0xFFFFFF;
      memcpy(bytes, &key, 3);
      if (next_command_row(key, nullptr) != row) continue;
      ZydisView z;
      zydis_view(bytes, sizeof bytes, 0x401000, &z);
      DisasmResult ours;
      int length;
      if (!z.in_set || compare_command(bytes, 16, 0x401000, &z, &ours, &length) != V_AGREE)
        continue;
      compared++;
      EXPECT_EQ(privileged, z.privileged) << row->mnemonic << " " << zydis_name(&z);
      EXPECT_EQ(port, z.port_io) << row->mnemonic << " " << zydis_name(&z);
    }
    rows_compared += compared > 0;
  }
  printf("%d rows compared\n", rows_compared);
  EXPECT_GT(rows_compared, COMMAND_ROWS / 2);
}

}  // namespace
