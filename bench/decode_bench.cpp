// Decoder speed on real code: commands per second over the code sections of Wine's
// Windows-format DLLs, for each of our modes and for Zydis and Capstone on the same bytes
// in the same run. Each decoder sweeps the sections linearly on its own boundaries.
//
// Run by hand on a quiet machine (a release build):
//   cmake -S . -B build/host -G Ninja && cmake --build build/host --target decode_bench
//   build/host/bench/decode_bench            every DLL, one sweep per mode
//   build/host/bench/decode_bench 10 3       every tenth DLL, the best of three sweeps
// Zydis and Capstone rows are left out when the build did not find the library.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <vector>

#ifdef KQ_HAVE_ZYDIS
#include <Zydis/Zydis.h>
#endif
#ifdef KQ_HAVE_CAPSTONE
#include <capstone/capstone.h>
#endif

#include "tools/code_corpus.h"
#include "x86/disasm.h"

namespace {

struct Run {
  long commands;
  double seconds;
  uint32_t checksum;  // keeps the work from being optimised away
};

// One linear sweep over every block; step gives the length of the command at bytes.
typedef int (*StepFn)(const uint8_t *bytes, int count, uint32_t address, uint32_t *checksum);

Run sweep(const CodeCorpus *corpus, StepFn step) {
  Run run = {0, 0, 0};
  auto start = std::chrono::steady_clock::now();
  for (const CodeBlock &block : corpus->blocks) {
    const uint8_t *code = corpus->bytes.data() + block.offset;
    for (uint32_t pos = 0; pos < block.size; run.commands++) {
      int count = block.size - pos < 16 ? (int)(block.size - pos) : 16;
      pos += (uint32_t)step(code + pos, count, block.address + pos, &run.checksum);
    }
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

// The symbols of DECODE_SYMBOLIC: every call and jump target of the corpus, named after
// the module that refers to it, sorted by address for a binary search.
struct NamedAddress {
  uint32_t address;
  uint32_t name;  // offset of the name in g_names.text
};

struct NameTable {
  std::vector<NamedAddress> entries;
  std::vector<char> text;
};

NameTable g_names;

void add_name(const char *module, uint32_t address) {
  char name[80];
  const char *dot = strchr(module, '.');
  int stem = dot ? (int)(dot - module) : (int)strlen(module);
  int n = snprintf(name, sizeof name, "%.*s.L%08X", stem, module, (unsigned)address);
  g_names.entries.push_back({address, (uint32_t)g_names.text.size()});
  g_names.text.insert(g_names.text.end(), name, name + n + 1);
}

void collect_names(const CodeCorpus *corpus) {
  for (const CodeBlock &block : corpus->blocks) {
    const uint8_t *code = corpus->bytes.data() + block.offset;
    for (uint32_t pos = 0; pos < block.size;) {
      int count = block.size - pos < 16 ? (int)(block.size - pos) : 16;
      DisasmResult r;
      pos += (uint32_t)decode_command(code + pos, count, block.address + pos, &r,
                                      DECODE_ANALYSE);
      int kind = r.command_class & CC_KIND;
      if ((kind == CC_JMP || kind == CC_JMC || kind == CC_CALL) && r.jump_target)
        add_name(block.module, r.jump_target);
    }
  }
  std::vector<NamedAddress> &e = g_names.entries;
  std::stable_sort(e.begin(), e.end(), [](const NamedAddress &a, const NamedAddress &b) {
    return a.address < b.address;
  });
  e.erase(std::unique(e.begin(), e.end(),
                      [](const NamedAddress &a, const NamedAddress &b) {
                        return a.address == b.address;
                      }),
          e.end());
}

int bench_namer(uint32_t address, char *buffer, int buflen) {
  const std::vector<NamedAddress> &e = g_names.entries;
  auto it = std::lower_bound(e.begin(), e.end(), address,
                             [](const NamedAddress &a, uint32_t v) { return a.address < v; });
  if (it == e.end() || it->address != address) return 0;
  const char *name = g_names.text.data() + it->name;
  int n = 0;
  for (; name[n] && n < buflen - 1; n++) buffer[n] = name[n];
  buffer[n] = '\0';
  return n;
}

int ours_in_mode(const uint8_t *bytes, int count, uint32_t address, uint32_t *checksum,
                 int mode) {
  DisasmResult r;
  int length = decode_command(bytes, count, address, &r, mode);
  *checksum += (uint32_t)r.command_class + r.jump_target + (uint8_t)r.text[0];
  return length;
}

int ours_length(const uint8_t *b, int n, uint32_t a, uint32_t *c) {
  return ours_in_mode(b, n, a, c, DECODE_LENGTH);
}
int ours_analyse(const uint8_t *b, int n, uint32_t a, uint32_t *c) {
  return ours_in_mode(b, n, a, c, DECODE_ANALYSE);
}
int ours_text(const uint8_t *b, int n, uint32_t a, uint32_t *c) {
  return ours_in_mode(b, n, a, c, DECODE_TEXT);
}
int ours_symbolic(const uint8_t *b, int n, uint32_t a, uint32_t *c) {
  return ours_in_mode(b, n, a, c, DECODE_SYMBOLIC);
}

#ifdef KQ_HAVE_ZYDIS
ZydisDecoder g_zydis;
ZydisFormatter g_formatter;

int zydis_instruction(const uint8_t *b, int n, uint32_t a, uint32_t *c) {
  ZydisDecodedInstruction in;
  if (!ZYAN_SUCCESS(ZydisDecoderDecodeInstruction(&g_zydis, nullptr, b, (size_t)n, &in)))
    return 1;
  *c += in.mnemonic;
  return in.length;
}

int zydis_full(const uint8_t *b, int n, uint32_t a, uint32_t *c) {
  ZydisDecodedInstruction in;
  ZydisDecodedOperand ops[ZYDIS_MAX_OPERAND_COUNT];
  if (!ZYAN_SUCCESS(ZydisDecoderDecodeFull(&g_zydis, b, (size_t)n, &in, ops))) return 1;
  *c += in.mnemonic + ops[0].type;
  return in.length;
}

int zydis_text(const uint8_t *b, int n, uint32_t a, uint32_t *c) {
  ZydisDecodedInstruction in;
  ZydisDecodedOperand ops[ZYDIS_MAX_OPERAND_COUNT];
  if (!ZYAN_SUCCESS(ZydisDecoderDecodeFull(&g_zydis, b, (size_t)n, &in, ops))) return 1;
  char text[256];
  ZydisFormatterFormatInstruction(&g_formatter, &in, ops, in.operand_count_visible, text,
                                  sizeof text, a, nullptr);
  *c += (uint8_t)text[0];
  return in.length;
}
#endif

#ifdef KQ_HAVE_CAPSTONE
// One handle and one preallocated command per detail setting: cs_disasm_iter's fast path.
struct Capstone {
  csh handle;
  cs_insn *insn;
};
Capstone g_capstone_plain, g_capstone_detail;

bool capstone_open(Capstone *c, bool detail) {
  if (cs_open(CS_ARCH_X86, CS_MODE_32, &c->handle) != CS_ERR_OK) return false;
  cs_option(c->handle, CS_OPT_SYNTAX, CS_OPT_SYNTAX_INTEL);
  cs_option(c->handle, CS_OPT_DETAIL, detail ? CS_OPT_ON : CS_OPT_OFF);
  c->insn = cs_malloc(c->handle);
  return true;
}

int capstone_step(Capstone *cs, const uint8_t *b, int n, uint32_t a, uint32_t *c) {
  const uint8_t *code = b;
  size_t size = (size_t)n;
  uint64_t address = a;
  if (!cs_disasm_iter(cs->handle, &code, &size, &address, cs->insn)) return 1;
  *c += cs->insn->id + (uint8_t)cs->insn->op_str[0];
  if (cs->insn->detail) *c += cs->insn->detail->x86.op_count;
  return cs->insn->size;
}

int capstone_plain(const uint8_t *b, int n, uint32_t a, uint32_t *c) {
  return capstone_step(&g_capstone_plain, b, n, a, c);
}
int capstone_detail(const uint8_t *b, int n, uint32_t a, uint32_t *c) {
  return capstone_step(&g_capstone_detail, b, n, a, c);
}
#endif

struct Mode {
  const char *name;
  StepFn step;
  const char *what;
};

const Mode kModes[] = {
    {"ours-length", ours_length, "DECODE_LENGTH"},
    {"ours-analyse", ours_analyse, "DECODE_ANALYSE"},
    {"ours-text", ours_text, "DECODE_TEXT"},
    {"ours-symbolic", ours_symbolic, "DECODE_SYMBOLIC, symbolic on, call/jump targets named"},
#ifdef KQ_HAVE_ZYDIS
    {"zydis-decode", zydis_instruction, "ZydisDecoderDecodeInstruction"},
    {"zydis-full", zydis_full, "ZydisDecoderDecodeFull"},
    {"zydis-text", zydis_text, "DecodeFull + FormatInstruction, Intel"},
#endif
#ifdef KQ_HAVE_CAPSTONE
    {"cs-plain", capstone_plain, "cs_disasm_iter, Intel, detail off"},
    {"cs-detail", capstone_detail, "cs_disasm_iter, Intel, detail on"},
#endif
};
enum { MODE_COUNT = sizeof kModes / sizeof *kModes };

// The comparisons that matter: decoding without text against Zydis's bare decoder, and
// text against Capstone, whose text always comes with its decoding.
struct Ratio {
  const char *ours;
  const char *theirs;
};

const Ratio kRatios[] = {
    {"ours-length", "zydis-decode"}, {"ours-analyse", "zydis-decode"},
    {"ours-analyse", "zydis-full"},  {"ours-text", "zydis-text"},
    {"ours-text", "cs-detail"},      {"ours-symbolic", "cs-detail"},
};

double per_second(double amount, const Run &r) { return r.seconds > 0 ? amount / r.seconds : 0; }

int mode_index(const char *name) {
  for (int i = 0; i < MODE_COUNT; i++)
    if (strcmp(kModes[i].name, name) == 0) return i;
  return -1;
}

}  // namespace

int main(int argc, char **argv) {
  int step = argc > 1 ? atoi(argv[1]) : 1;
  int rounds = argc > 2 ? atoi(argv[2]) : 1;
  if (rounds < 1) rounds = 1;
  CodeCorpus corpus;
  if (!corpus_load(WINE_PE_DIR, ".dll", step, &corpus) || corpus.bytes.empty()) {
    fprintf(stderr, "decode_bench: no code found in %s\n", WINE_PE_DIR);
    return 1;
  }
  collect_names(&corpus);
  set_address_namer(bench_namer);
  g_decoder_options.symbolic = 1;
  printf("%d DLLs (every %d), %zu code bytes, %zu named addresses, best of %d\n",
         corpus.module_count, step > 0 ? step : 1, corpus.bytes.size(),
         g_names.entries.size(), rounds);
#ifdef KQ_HAVE_ZYDIS
  ZydisDecoderInit(&g_zydis, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);
  ZydisFormatterInit(&g_formatter, ZYDIS_FORMATTER_STYLE_INTEL);
  printf("Zydis %d.%d.%d\n", (int)ZYDIS_VERSION_MAJOR(ZYDIS_VERSION),
         (int)ZYDIS_VERSION_MINOR(ZYDIS_VERSION), (int)ZYDIS_VERSION_PATCH(ZYDIS_VERSION));
#else
  printf("Zydis not built in\n");
#endif
#ifdef KQ_HAVE_CAPSTONE
  if (!capstone_open(&g_capstone_plain, false) || !capstone_open(&g_capstone_detail, true)) {
    fprintf(stderr, "decode_bench: Capstone does not open for x86\n");
    return 1;
  }
  int major = 0, minor = 0;
  cs_version(&major, &minor);
  printf("Capstone %d.%d\n", major, minor);
#else
  printf("Capstone not built in\n");
#endif

  double megabytes = (double)corpus.bytes.size() / 1e6;
  double rate[MODE_COUNT];
  printf("\n%-14s %12s %8s %10s %9s   %s\n", "mode", "cmd/s", "MB/s", "commands", "checksum",
         "call");
  for (int i = 0; i < MODE_COUNT; i++) {
    Run best = sweep(&corpus, kModes[i].step);
    for (int k = 1; k < rounds; k++) {
      Run run = sweep(&corpus, kModes[i].step);
      if (run.seconds < best.seconds) best = run;
    }
    rate[i] = per_second((double)best.commands, best);
    printf("%-14s %12.0f %8.1f %10ld  %08X   %s\n", kModes[i].name, rate[i],
           per_second(megabytes, best), best.commands, best.checksum, kModes[i].what);
  }
  printf("\n");
  for (const Ratio &ratio : kRatios) {
    int ours = mode_index(ratio.ours), theirs = mode_index(ratio.theirs);
    if (ours < 0 || theirs < 0 || rate[theirs] <= 0) continue;
    printf("%-14s / %-14s %6.2f\n", ratio.ours, ratio.theirs, rate[ours] / rate[theirs]);
  }
#ifdef KQ_HAVE_CAPSTONE
  cs_free(g_capstone_plain.insn, 1);
  cs_free(g_capstone_detail.insn, 1);
  cs_close(&g_capstone_plain.handle);
  cs_close(&g_capstone_detail.handle);
#endif
  return 0;
}
