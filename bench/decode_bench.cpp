// Decoder speed on real code: commands per second over the code sections of Wine's
// Windows-format DLLs, in each of our modes and for Zydis on the same bytes in the same
// run, with the ratio. Each decoder sweeps the sections linearly on its own boundaries.
//
// Run by hand on a quiet machine (a release build):
//   cmake -S . -B build/host -G Ninja && cmake --build build/host --target decode_bench
//   build/host/bench/decode_bench            every DLL
//   build/host/bench/decode_bench 10         every tenth DLL, for a quick look
#include <stdio.h>
#include <stdlib.h>

#include <chrono>

#include <Zydis/Zydis.h>

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

struct Pair {
  const char *what;
  StepFn ours;
  StepFn zydis;
  const char *zydis_call;
};

const Pair kPairs[] = {
    {"length", ours_length, zydis_instruction, "ZydisDecoderDecodeInstruction"},
    {"analyse", ours_analyse, zydis_full, "ZydisDecoderDecodeFull"},
    {"text", ours_text, zydis_text, "DecodeFull + FormatInstruction"},
};

double per_second(double amount, const Run &r) { return r.seconds > 0 ? amount / r.seconds : 0; }

}  // namespace

int main(int argc, char **argv) {
  int step = argc > 1 ? atoi(argv[1]) : 1;
  CodeCorpus corpus;
  if (!corpus_load(WINE_PE_DIR, ".dll", step, &corpus) || corpus.bytes.empty()) {
    fprintf(stderr, "decode_bench: no code found in %s\n", WINE_PE_DIR);
    return 1;
  }
  ZydisDecoderInit(&g_zydis, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);
  ZydisFormatterInit(&g_formatter, ZYDIS_FORMATTER_STYLE_INTEL);
  printf("Zydis %d.%d.%d; %d DLLs (every %d), %zu code bytes\n",
         (int)ZYDIS_VERSION_MAJOR(ZYDIS_VERSION), (int)ZYDIS_VERSION_MINOR(ZYDIS_VERSION),
         (int)ZYDIS_VERSION_PATCH(ZYDIS_VERSION), corpus.module_count, step > 0 ? step : 1,
         corpus.bytes.size());
  printf("%-8s %12s %12s %6s %10s %10s   %s\n", "mode", "ours cmd/s", "zydis cmd/s", "ratio",
         "ours MB/s", "zydis MB/s", "Zydis call");
  double megabytes = (double)corpus.bytes.size() / 1e6;
  for (const Pair &p : kPairs) {
    Run ours = sweep(&corpus, p.ours);
    Run zydis = sweep(&corpus, p.zydis);
    double o = per_second((double)ours.commands, ours);
    double z = per_second((double)zydis.commands, zydis);
    printf("%-8s %12.0f %12.0f %6.2f %10.1f %10.1f   %s"
           " (%ld and %ld commands; checksums %08X %08X)\n",
           p.what, o, z, z > 0 ? o / z : 0, per_second(megabytes, ours),
           per_second(megabytes, zydis), p.zydis_call, ours.commands, zydis.commands,
           ours.checksum, zydis.checksum);
  }
  return 0;
}
