// Rich text: the token stream, line and tag records of a document, and the seams through
// which it is measured and drawn. Everything here is platform-free; the Win32 measurer and
// drawer sit in rich_text_gdi_win32.cpp, a fixed-width substitute in rich_text_fixed.cpp.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Token codes: one code byte, then the operands (little-endian, no padding).
enum RichTokenCode : uint8_t {
  NULL_TOKEN = 0,    // never written; ends a scan
  EOL = 1,           // a newline in the text
  SPECIAL = 2,       // 1 byte: a control character kept in the text (carriage return)
  TEXT_d = 3,        // 32-bit length n, then n characters
  TAB = 4,           // advance to the next tab stop
  TAB_d = 5,         // 16-bit w: the column origin moves w right, the pen at least to it
  SKIP_w = 6,        // 16-bit w: the pen advances w
  IMAGE_h = 7,       // bitmap at the pen, bottom-aligned; the pen advances by its width
  IMAGE_hww = 8,     // bitmap, 16-bit dx, dy: overlaid after the document, no advance
  OPEN_TAG_d = 9,    // 32-bit tag index
  OPEN_FONT_h = 10,  // font handle
  OPEN_PAPER_d = 11, // background colour
  OPEN_COLOR_d = 12, // text colour
  CLOSE_TAG = 13,
  CLOSE_FONT = 14,
  CLOSE_PAPER = 15,
  CLOSE_COLOR = 16,
  RICH_TOKEN_CODES = 17
};
// Operand bytes by code; TEXT_d's characters follow its 4 bytes. Every scanner skips the
// tokens it does not interpret with this table.
extern const uint8_t RichOperandSize[RICH_TOKEN_CODES];
// The first character of a TEXT_d at stream offset t lies at t + RICH_TEXT_HEAD.
enum { RICH_TEXT_HEAD = 5 };

inline uint16_t rich_get16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }
inline uint32_t rich_get32(const uint8_t *p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// Fonts and bitmaps are 32-bit handles (the Win32 handles themselves); font 0 stands for
// the measuring or drawing context's own font.
typedef uint32_t RichHandle;
// Colours are 0x00BBGGRR; this paper means a transparent background.
const uint32_t RICH_TRANSPARENT = 0xFFFFFFFFu;

// Nesting limit per style kind while reading a document, and so while writing it.
enum { STACK_LEN = 10 };

enum RichLineFlag : uint8_t {
  LNF_TAGS = 1,    // the tags opened and closed in the line do not balance
  LNF_FONTS = 2,   // likewise for fonts
  LNF_COLORS = 4,  // likewise for colours and papers together
  LNF_STYLE = 7,   // any of the three: readers must replay the line to know the styles
  LNF_PARAM = 8,   // the line carries a parameter
};

// Positions are 32-bit so that long documents (a log of thousands of lines) stay exact.
struct RichLine {
  int32_t x, y;           // top-left corner in document pixels
  int32_t width, height;  // set when the line is closed
  int32_t start;          // stream offset of the first token
  int32_t end;            // stream offset after the last token, -1 while open
  uint8_t flags;
  uint32_t param;         // valid with LNF_PARAM
};

enum RichTagFlag : uint8_t { TGF_LINK = 1, TGF_MARKED = 2 };

struct RichTag {
  int32_t start;   // stream length when opened, before pending text was compiled
  int32_t end;     // stream offset after its CLOSE_TAG, -1 while open
  uint8_t flags;
  uint8_t reserved;
  int32_t parent;  // the tag open around it when it was opened, -1 for none
  uint32_t param;
};

struct RichRect {
  int32_t left, top, right, bottom;
};

enum RichFontName { RICH_FONT_GUI, RICH_FONT_SYSTEM, RICH_FONT_VAR, RICH_FONT_BIG,
                    RICH_FONT_SMALL, RICH_FONT_COUNT };

// How a document measures text and finds pictures. Widths and heights are in pixels of
// the font given (0: the context's own font).
struct RichMeasurer {
  void *context;
  void (*text_size)(void *context, RichHandle font, const char *text, int count, int *width,
                    int *height);
  // How many of the first characters fit into width pixels.
  int (*text_fit)(void *context, RichHandle font, const char *text, int count, int width);
  void (*image_size)(void *context, RichHandle image, int *width, int *height);
  // A picture from the program's resources by name; 0 when there is none.
  RichHandle (*load_image)(void *context, const char *name);
  void (*free_image)(void *context, RichHandle image);
  RichHandle fonts[RICH_FONT_COUNT];  // the fonts that markup names
  uint32_t background;                // the program's common background colour ("bgcolor")
};

// Where a document is drawn. Coordinates are document pixels once begin has moved the
// origin to the scroll position.
struct RichDrawer {
  void *context;
  // Saves the context, moves its origin to (x, y), gives its clip box in document pixels
  // and its text colour.
  void (*begin)(void *context, int x, int y, RichRect *clip, uint32_t *text_color);
  void (*end)(void *context);  // restores what begin saved
  void (*font)(void *context, RichHandle font);
  // Text colour and background of the following output; RICH_TRANSPARENT: none.
  void (*colors)(void *context, uint32_t text, uint32_t paper);
  void (*text)(void *context, int x, int y, const char *text, int count);
  void (*fill)(void *context, const RichRect *rect, uint32_t color);
  // The whole bitmap with (x, y) its top-left corner, its top-left pixel's colour clear.
  void (*image)(void *context, RichHandle image, int x, int y);
  void (*underline)(void *context, int x0, int x1, int y);
};

// The window a document is shown in, for hovering over links.
struct RichWindow {
  void *context;
  void (*invalidate)(void *context, const RichRect *rect);  // with erasing
  void (*hand_cursor)(void *context, bool hand);  // false: the window class's cursor
};

// Style stacks, one per kind, of the values opened and not yet closed: tag indexes,
// fonts, text colours, papers. The writer keeps one for the document so far, readers one
// for the place they have reached. Tags and fonts come first: hit tests follow only those.
enum RichStyleKind { STYLE_TAG, STYLE_FONT, STYLE_COLOR, STYLE_PAPER, STYLE_KINDS };
struct RichStyleStack {
  uint32_t items[STACK_LEN];
  int num;
};
struct RichStack {
  RichStyleStack kinds[STYLE_KINDS];
};

// A document. Panels call theirs dd; it is written by rendput and read by rendget.
struct RichText {
  const RichMeasurer *measurer;
  RichTag *tags;
  int tagnum;
  RichLine *lines;
  int linenum;
  uint8_t *stream;
  int len;           // stream length
  // Lines with a style bit set, in order: the only lines a reader replays to know the
  // styles in force at the start of a later line. Hit tests need only tags and fonts, and
  // replay only the lines that change those.
  int32_t *statelines;
  int statenum;
  int32_t *hitlines;
  int hitnum;
  // Tags in the order they were closed; their ends ascend with it.
  int32_t *closed;
  int closednum;
  uint8_t halign, valign;  // of the last arranging: 0 left/top, 1 centre, 2 right/bottom
  int32_t scrollx, scrolly;
  int32_t maxwidth;  // greatest line width
  int32_t height;    // greatest line bottom
  int32_t selstart, selend;  // ordered; -1, -1 for none
  int hover;                 // hovered tag, -1 for none
  uint32_t seltext, selpaper;
  uint8_t tint;              // 0-255
  uint32_t tintcolor;
  // Writer state of the open line.
  int32_t pen, lineh, column;
  int fontcount, colorcount, tagcount;  // opens minus closes; frozen once below zero
  int32_t closedlen;  // stream length when the last line was last closed
  int params;         // every line below this one carries a parameter
  char *pending;      // text put but not yet compiled into tokens
  int pendnum;
  RichStack stack;    // the measuring context's font is the innermost one
};
