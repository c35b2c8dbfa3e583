// The per-call state of one CodeView load, shared by the parts of the reader; created
// at the start of cv_load_debug_info and freed before it returns.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "plugins/common/debug_api.h"
#include "plugins/common/leaf_read.h"
#include "plugins/common/load_status.h"
#include "plugins/common/name_table.h"
#include "plugins/common/symbol_walk.h"
#include "plugins/common/type_map.h"
#include "plugins/common/type_walk.h"
#include "plugins/cvread/pdb_file.h"
#include "symbols/byte_cursor.h"

// The types defined from one type section.
struct CvTypes {
  TypeMap map;
  bool read;  // a second type section for the same map is not read
  // Structures and enumerations are defined ahead of the walk, so that pointers before them
  // resolve, and a forward reference stands for the definition of the same name (the MSF
  // 7.00 databases).
  bool ahead;
  // The load's own records stay for the typedefs its symbols name; a type server's go
  // with its file. A typedef name is defined once (modules repeat the typedefs they use).
  TypeRecords records;
  NameTable typedef_names;
  uint32_t typedefs_left;
};

// Type servers whose types a program database may import (index high byte 1 and up).
enum { CV_MAX_SERVERS = 16 };

// What a load defined, counted for tests and fuzzing.
struct CvCounts : DefinitionCounts {
  uint32_t modules, types, servers;
  uint32_t covered;   // publics left out, their address taken by another entry
  uint32_t typedefs;  // structures and enumerations defined again under a typedef's name
};

struct WordList {
  uint32_t *items;  // zone block of room items
  uint32_t count, room;
};

struct CvState {
  const DebugApi *api;
  CvTypes types;
  CvTypes *servers[CV_MAX_SERVERS];  // by import number - 1; zone blocks, null until read
  // The records of the id stream (MSF 7.00): the procedures of the newer kinds name their
  // function through them.
  TypeRecords ids;
  SymbolWalk walk;
  CvCounts counts;
  // The part of the load (in thousandths) that the walk under way stands for; set when
  // the user stops the load, after which every walk ends early.
  uint32_t span_from, span_to;
  bool cancelled;
  // A program database defines its publics last: a public at an address that a procedure,
  // data or thunk of the load took adds nothing a user sees, and is neither undecorated nor
  // defined. While they are held, where they stand in the run and the addresses the other
  // entries took are collected.
  bool holding_publics;
  WordList held, taken;
};

void cv_state_init(CvState *state, const DebugApi *api);
void cv_state_free(CvState *state);
// The types of the type server imported under number (1 to CV_MAX_SERVERS), made with the
// primitive types on first use; null for a number out of range or no memory.
CvTypes *cv_server_types(CvState *state, uint32_t number);
// The type of an index met in a symbol: the high byte chooses a type server, the rest
// is resolved in its maps (or in the load's own ones for high byte 0).
DebugType cv_resolve_type(const CvState *state, uint32_t index);
// Reports done of total inside the current span; false once the user cancelled.
bool cv_progress(CvState *state, size_t done, size_t total);
// Walks ask again after this many records.
enum { CV_PROGRESS_EVERY = 1024 };

// The function type of an id record (a function's or a method's id), or null; an empty
// name becomes the record's (in the record or in buffer).
DebugType cv_resolve_id(const CvState *state, uint32_t id, const char **name,
                        char buffer[LEAF_NAME_SIZE]);
// The bytes of a type or id section: a window, or (pages.pdb set) size bytes from `from`
// on of a stream, read where they lie in its pages.
struct TypeBytes {
  ByteCursor window;
  PdbPages pages;
  size_t from, size;
};
inline TypeBytes type_bytes(ByteCursor window) {
  return TypeBytes{window, PdbPages{}, 0, window.ok ? window.size : 0};
}
// Registers the records of a type or id section: records of WORD length, WORD leaf; the
// first has index 0x1000. A record in pages that do not follow one another is copied.
// False for none, or no memory.
bool cv_index_records(TypeRecords *records, const TypeBytes *section);
// A type section, its records registered and defined in index order.
void cv_read_types(CvState *state, CvTypes *types, const TypeBytes *section);
// A typedef (S_UDT) of a structure, union or enumeration of the load's own types under
// another name: the type defined again under that name, as the interface has no alias.
// Typedefs of other types are left out.
void cv_define_typedef(CvState *state, uint32_t index, const char *name);
// A line section (sstSrcModule, or the line part of a module stream).
void cv_read_lines(CvState *state, ByteCursor section);
// A run of symbol records. With globals_copied (the module streams of MSF 7.00 files),
// data outside a procedure is left out: the global symbols hold it already.
void cv_read_symbols(CvState *state, ByteCursor run, bool globals_copied);
// The publics held from run (the run the offsets count in), after the rest of the load.
void cv_read_publics(CvState *state, ByteCursor run);
// The NB09/NB11 subsection directory; data starts at the signature and ends with the file.
// LOAD_BAD_DIRECTORY, with a log line, when the directory is empty or does not fit the data.
LoadStatus cv_read_directory(CvState *state, ByteCursor data);
// The C13 line information of a module stream of an MSF 7.00 database: its line and file
// checksum subsections, with file names from names (the string buffer of "/names").
void pdb7_read_lines(CvState *state, ByteCursor c13, ByteCursor names);
