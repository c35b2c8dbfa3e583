// The command tables of the main window, the panels, the lists and the dialogs.
#pragma once
#include "ui/keyb_lookup.h"

extern const KeyCommand main_keys[], code_keys[], data_keys[], source_keys[], reg_keys[],
    watch_keys[], log_keys[], inspector_keys[], cover_keys[], cmdline_keys[], comments_keys[],
    breakpoints_keys[], animator_keys[], dialog_keys[];
