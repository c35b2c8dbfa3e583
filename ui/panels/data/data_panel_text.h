// The data panel's page and its byte operations, free of windows: rows of up to 16 bytes
// cut at region starts, symbols and comments, each row as an address, hex cells and
// character cells in a rich-text document; the copy text, the fill and insert patterns and
// the search through memory.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "ui/panels/code/code_panel_search.h"
#include "ui/rich_text/rich_text_records.h"
#include "x86/disasm.h"

enum { DATA_ROW_BYTES = 16, DATA_SEQUENCE_MAX = 260 };

// Where the page's bytes and region starts come from (the engine in the program).
struct DataSource {
  MemoryReader read;                              // the readable prefix's length
  uint32_t (*next_region)(uint32_t address);      // first region base above it; 0: none
  uint32_t (*previous_region)(uint32_t address);  // last region base below it; 0: none
  // Whether a region starts exactly at address, with its description.
  bool (*region_at)(uint32_t address, char *description, size_t outlen);
};

// The length of the row at a: 16 bytes (less at the end of the address space), cut at the
// next region start, symbol or commented address.
uint32_t data_row_length(const DataSource *source, uint32_t a);
// The start of the row before a: a - 16 (0 at the bottom), raised to the nearest region
// start, symbol or commented address between that and a.
uint32_t data_row_before(const DataSource *source, uint32_t a);

enum DataColumn { DATA_HEX = 1, DATA_CHARS = 2 };
struct DataCell {
  uint32_t address;
  int column;  // DataColumn
  int tag;     // its tag in the document
};
struct DataRow {
  int line;  // the document line of the bytes
  uint32_t address, count;
};
struct DataPage {
  uint32_t position, shown;  // the first address and the count of bytes on the page
  DataRow *rows;             // zone arrays
  int row_count;
  DataCell *cells;
  int cell_count;
};
struct DataView {
  RichHandle gui_font, fixed_font, big_font;
};

// Colours (0x00BBGGRR).
enum : uint32_t {
  DATA_ADDRESS = 0x000064, DATA_UNREADABLE = 0xE6E6E6, DATA_HIGH_CHAR = 0xB4B4B4,
  DATA_COMMENT = 0x00A000, DATA_SYMBOL = 0x0000FF, DATA_TYPE = 0x787878,
  DATA_REGION_PAPER = 0x00FFFF, DATA_KB_TEXT = 0x00FFFF, DATA_KB_PAPER = 0x646464
};

// Clears dd and the page and writes rows from position on until the document is at least
// height pixels high (or the address space ends).
void data_write_page(RichText *dd, DataPage *page, const DataSource *source,
                     const DataView *view, uint32_t position, int height);
void data_page_free(DataPage *page);
// The cell under a document offset's tag; null when none.
const DataCell *data_cell_of_tag(const DataPage *page, int tag);
// Marks the cells between the two addresses (either order), unmarks all others.
void data_mark_selection(RichText *dd, const DataPage *page, uint32_t first, uint32_t last);
// The position after scrolling rows rows (negative: up).
uint32_t data_scroll(const DataSource *source, uint32_t position, int rows);

// The clipboard's text of bytes: "0x41,0x42" from the hex column, "AB" from the characters
// (bytes that have no printable form as "."); gives the length, cut to outlen - 1.
int data_copy_text(const uint8_t *bytes, int count, int column, char *out, size_t outlen);
// The sequence repeated over size bytes, the last copy cut.
void data_fill_bytes(const uint8_t *sequence, int length, uint8_t *out, int size);
// What insert writes at the selection's start: the sequence, then the selection's first
// bytes up to the greater of the two sizes. Gives that size.
int data_insert_bytes(const uint8_t *sequence, int length, const uint8_t *selection,
                      int selection_size, uint8_t *out);
// A byte sequence typed by the user; the mask's 0 bits match any memory bits.
struct DataSequence {
  uint8_t bytes[DATA_SEQUENCE_MAX], mask[DATA_SEQUENCE_MAX];
  int length;
  bool masked;  // some bits are left open
};
// A pattern of hexadecimal byte pairs and "??" for any byte, separated by blanks or commas
// ("8B ?? 24"), or else an expression of bytes for the evaluator (a string "abc", numbers
// 0x41, 0x42, a typed value). False when the text is neither.
bool data_sequence_from_text(const char *text, DataSequence *out);
// The next place after start (direction +1) or before it (-1) in [low, high) where the
// whole sequence stands readable; false when there is none.
bool data_search(MemoryReader read, const DataSequence *sequence, uint32_t start, int direction,
                 uint32_t low, uint32_t high, uint32_t *found);
// The same search over the readable runs of memory, a piece at a time with the walk's
// ticks, as the code panel's pattern search walks them; false when nothing is found or the
// walk was stopped.
bool data_search_runs(CodeSearch *search, const DataSequence *sequence, uint32_t start,
                      int direction, uint32_t *found);
