// The progress window of a long debug-information load: the search's window with its own
// word, over the active window while a plug-in reads.
#pragma once

// Installs it as the module loader's progress window (none installed: loads show nothing).
void load_progress_install(bool install);
