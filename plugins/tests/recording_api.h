// A DebugApi for host tests that records every definition. Handles are the addresses of
// the records; addresses are section * 0x01000000 + offset for sections 1 to 31.
#pragma once
#include <stdint.h>

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "plugins/common/debug_api.h"

enum RecordedKind {
  REC_BASE,
  REC_POINTER,
  REC_ARRAY,
  REC_ENUM,
  REC_STRUCT,
  REC_FRAME,
  REC_FUNCTION
};

struct RecordedMember {
  std::string name;
  int shift;
  DebugType type;
};

struct RecordedType {
  RecordedKind kind;
  std::string name;
  int size;             // struct size, array size
  DebugType target;     // pointer target, array element, enum base, frame function,
                        // function result
  uint32_t start, end;  // frame range
  int call;
  std::vector<RecordedMember> members;
};

struct RecordedEntry {
  std::string name;
  uint32_t address;
  DebugType type;
  DebugSource source;
};

struct RecordedSource {
  std::string name;
  std::vector<uint16_t> lines;
  std::vector<uint32_t> addresses;
};

struct Recording {
  std::deque<RecordedType> types;
  std::deque<RecordedEntry> entries;
  std::deque<RecordedSource> sources;
  std::string log;
  std::vector<std::string> opened;                    // paths map_file was asked for
  std::map<std::string, std::vector<uint8_t>> files;  // served instead of the disk
  std::set<std::string> missing;                      // not served although on the disk
  int mapped = 0;                                     // mappings not yet released
  std::deque<std::vector<uint8_t>> mappings;
  std::vector<std::string> refusals;  // why the data was not read
  std::vector<uint32_t> progress;     // each report, in thousandths of the load
  size_t cancel_at = 0;               // the report that the user cancels (1 the first)
};

// The api over the one recording; recording_reset clears it.
const DebugApi *recording_api();
Recording *recording();
void recording_reset();

uint32_t recorded_address(uint16_t section, uint32_t offset);
const RecordedType *recorded_type(DebugType handle);
// The whole file, or an empty vector.
std::vector<uint8_t> read_whole_file(const std::string &path);
