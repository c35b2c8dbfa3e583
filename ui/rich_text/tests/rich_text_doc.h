// A document measured by the standard fixed-width fonts (see rich_text_fixed.h), for the
// rich-text tests. The picture cache is emptied with it, so no test sees another's.
#pragma once
#include "ui/rich_text/rich_text_fixed.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"

struct RichDoc {
  RichFixed fixed;
  RichText *dd;
  RichDoc() {
    rich_fixed_init(&fixed);
    dd = rich_create(&fixed.measurer);
  }
  ~RichDoc() {
    dd = rich_destroy(dd);
    rich_images_free(&fixed.measurer);
  }
  RichDoc(const RichDoc &) = delete;
  RichDoc &operator=(const RichDoc &) = delete;
};
