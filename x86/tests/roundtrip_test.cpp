// Round trip over real code: every command of Wine's DLLs that the decoder writes as text
// is assembled from that text at its own address and decoded again. It must give the same
// command (the same text, or the same address written as reg*2); the bytes are compared too.
// KQ_ROUNDTRIP_STEP=n takes one DLL in n (default 32; 1 for all).
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <regex>
#include <string>

#include "decode_support.h"
#include "tools/code_corpus.h"
#include "x86/assemble.h"

namespace {

enum { kMaxMatchIndex = 8 };

struct Tally {
  long commands = 0, assembled = 0, equivalent = 0, same_text = 0, identical = 0;
  std::map<std::string, long> failures;  // class -> count
  std::map<std::string, std::string> examples;
};

void note(Tally *t, const std::string &kind, const char *text) {
  if (t->failures[kind]++ == 0) t->examples[kind] = text;
}

// The assembler counts [ESI+ESI+d] as ESI twice and writes [ESI*2+d]: the same address.
std::string merge_doubled_register(const char *text) {
  static const std::regex doubled("\\[([a-z]+)\\+\\1([-+\\]])");
  return std::regex_replace(text, doubled, "[$1*2$2");
}

enum Sameness { kOther, kSameText, kSameAddress };

Sameness compare(const AsmResult &r, uint32_t address, const DisasmResult &original) {
  DisasmResult again;
  int length = decode_command(r.code, r.length, address, &again, DECODE_TEXT);
  if (again.error != DE_NONE || length != r.length) return kOther;
  if (strcmp(again.text, original.text) == 0) return kSameText;
  return merge_doubled_register(again.text) == merge_doubled_register(original.text) ? kSameAddress : kOther;
}

// The first word of a text: the mnemonic, with a LOCK or REP word in front of it.
std::string mnemonic_of(const char *text) {
  const char *blank = strchr(text, ' ');
  std::string head = blank ? std::string(text, blank) : std::string(text);
  if (blank && (head == "lock" || head.compare(0, 3, "rep") == 0)) return head + " " + mnemonic_of(blank + 1);
  return head;
}

void check_command(Tally *t, const uint8_t *code, int length, uint32_t address, const DisasmResult &d) {
  t->commands++;
  AsmResult r;
  char error[ASM_ERROR_TEXT];
  int first = -1;
  for (int sizes = 0; sizes <= 2 && first < 0; sizes++)
    if (assemble_command(d.text, address, &r, 0, sizes, error) > 0) first = sizes;
  if (first < 0) {
    note(t, std::string("error: ") + error, d.text);
    return;
  }
  t->assembled++;
  Sameness best = compare(r, address, d);
  bool identical = false;
  for (int index = 0; index < kMaxMatchIndex && !identical; index++) {
    for (int sizes = 0; sizes <= 3 && !identical; sizes++) {
      if (assemble_command(d.text, address, &r, index, sizes, error) <= 0) continue;
      Sameness same = compare(r, address, d);
      if (same == kSameText || best == kOther) best = same;
      identical = same == kSameText && r.length == length && memcmp(r.code, code, (size_t)length) == 0;
    }
  }
  t->equivalent += best != kOther;
  t->same_text += best == kSameText;
  t->identical += identical;
  if (best == kOther) note(t, "other command: " + mnemonic_of(d.text), d.text);
  else if (best == kSameAddress) note(t, "same address as reg*2: " + mnemonic_of(d.text), d.text);
  else if (!identical) note(t, "other bytes: " + mnemonic_of(d.text), d.text);
}

TEST(AssembleRoundTrip, WineCodeSections) {
  const char *env = getenv("KQ_ROUNDTRIP_STEP");
  int step = env ? atoi(env) : 32;
  CodeCorpus corpus;
  ASSERT_TRUE(corpus_load(WINE_PE_DIR, ".dll", step, &corpus) && !corpus.blocks.empty())
      << "no Wine DLLs in " WINE_PE_DIR " (tools/setup.sh installs Wine)";
  DecoderOptions saved = g_decoder_options;
  g_decoder_options = DecoderOptions();
  Tally t;
  for (const CodeBlock &block : corpus.blocks) {
    const uint8_t *code = corpus.bytes.data() + block.offset;
    for (uint32_t pos = 0; pos < block.size;) {
      int count = block.size - pos < 16 ? (int)(block.size - pos) : 16;
      DisasmResult d;
      int length = decode_command(code + pos, count, block.address + pos, &d, DECODE_TEXT);
      if (d.error == DE_NONE) check_command(&t, code + pos, length, block.address + pos, d);
      pos += (uint32_t)length;
    }
  }
  g_decoder_options = saved;
  printf("%d DLLs: %ld commands; assembled %.4f%%, equivalent %.4f%%, same text %.4f%%, "
         "same bytes %.4f%%\n", corpus.module_count, t.commands, 100.0 * t.assembled / t.commands,
         100.0 * t.equivalent / t.commands, 100.0 * t.same_text / t.commands,
         100.0 * t.identical / t.commands);
  for (const auto &f : t.failures)
    printf("  %8ld  %-50s e.g. %s\n", f.second, f.first.c_str(), t.examples[f.first].c_str());
  EXPECT_EQ(t.assembled, t.commands);
  EXPECT_EQ(t.equivalent, t.commands);
}

}  // namespace
