// The guard dialog (1170): the four guard slots as rows of an address and a condition.
#pragma once
#include <stddef.h>

#include "util/path.h"

// Which row an offered expression goes to.
enum GuardOffer {
  GUARD_OFFER_NONE = -1,     // nothing offered, or a slot holds it already
  GUARD_OFFER_FULL = -2,     // no free slot and the most recent guard is gone
};
struct GuardOfferChoice {
  int row;          // 0..3, or a GuardOffer
  bool ask_recent;  // the row is the most recent guard's: ask before replacing it
};
// The row for offered with the slots as they are and the most recent guard text.
GuardOfferChoice guard_offer_row(const char *offered, const char *most_recent);

// The most recent expression offered to the dialog and confirmed with OK.
extern char g_recent_guard[KQ_PATH];

// Opens the dialog over owner, with an expression offered by a panel (null or "" from
// the main window). True when the user confirmed with OK and the slots were set.
bool guard_dialog_open(void *owner, const char *offered);
