#include "plugins/common/type_walk.h"

#include "plugins/common/leaf_read.h"
#include "util/zone.h"

namespace {

// A method's attribute WORD follows its leaf.
const size_t kAttributeAt = 2;
const uint8_t kVirtualOffset = 4;
// How many times, on average, a section's field lists may be walked.
const size_t kWalksPerList = 4;

bool introduces_virtual(uint8_t attribute) {
  uint8_t property = (attribute >> 2) & 7;
  return property == 4 || property == 6;
}

}  // namespace

bool type_records_make(TypeRecords *records, uint32_t count, size_t spill) {
  records->records = count ? (ByteCursor *)zone_alloc(count * sizeof(ByteCursor)) : nullptr;
  records->spill = spill ? (uint8_t *)zone_alloc(spill) : nullptr;
  records->next = 0;
  if (!records->records || (spill && !records->spill)) {
    type_records_free(records);
    return false;
  }
  records->count = count;
  return true;
}

void type_records_free(TypeRecords *records) {
  records->records = (ByteCursor *)zone_free(records->records);
  records->spill = (uint8_t *)zone_free(records->spill);
  records->count = 0;
}

const ByteCursor *type_records_next(TypeRecords *records, uint32_t *index) {
  while (records->next < records->count) {
    *index = TYPE_FIRST_DEFINED + records->next++;
    const ByteCursor *record = type_record(records, *index);
    if (record) return record;
  }
  return nullptr;
}

void type_records_store(TypeMap *map, uint32_t index, DebugType type, uint32_t *count) {
  if (!type) return;
  type_map_store(map, index, type);
  (*count)++;
}

size_t method_fixed(const ByteCursor *c, size_t start, const MemberLayout *layout) {
  bool adds_offset = introduces_virtual((uint8_t)record_field(c, start + kAttributeAt, 1));
  return layout->fixed + (adds_offset ? kVirtualOffset : 0);
}

WalkBudget walk_budget(size_t section_size) { return WalkBudget{section_size * kWalksPerList}; }

bool walk_budget_take(WalkBudget *budget, size_t n) {
  if (n > budget->left) return false;
  budget->left -= n;
  return true;
}
