#include "engine/engine.h"

#include "engine/breakpoints.h"
#include "engine/loaded_images.h"
#include "engine/regions.h"

void engine_init() { breakpoints_init(); }

void engine_shutdown() {
  breakpoints_shutdown();
  regions_free();
  loaded_images_clear();
}

void engine_refresh() {
  regions_invalidate();
  breakpoints_reresolve();
}
