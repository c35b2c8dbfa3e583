// kq.exe started under Wine on a corpus program with the build's plug-ins, for the
// end-to-end test of the CodeView plug-in and for the load benchmark. Everything a run
// uses lies in a folder of its own beside the calling program: a copy of kq.exe and its
// map file (its log lands beside it) and a copy of the program with its PDBs, whose recorded paths do
// not exist here, so the plug-in finds them beside the image. The settings go to a
// private registry key named to kq through KQ_SETTINGS_KEY.
#pragma once
#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

struct KqLaunch {
  std::string folder;        // the run's own folder, with a trailing backslash
  std::string program;       // the copied program
  std::string settings_key;  // under HKEY_CURRENT_USER
  PROCESS_INFORMATION pi = {};

  // Copies kq.exe and the named files of the corpus folder into a fresh folder and
  // writes kq's settings: plug-ins from plugin_folder, start-up code run to main, no
  // dialogs.
  bool prepare(const std::string &kq_exe, const std::string &plugin_folder,
               const std::string &corpus_folder, const std::vector<std::string> &files);
  // Gives the run a plug-in folder of its own holding copies of the DLLs, in place of
  // the one prepare named; before start.
  bool use_plugins(const std::vector<std::string> &dlls);
  // Starts kq.exe on the copied program (the first of the files), with further
  // command-line parameters; true once kq's main loop runs.
  bool start(const std::string &parameters = "");
  std::string log() const;
  // Waits until kq's log holds the text (after the first occurrence of after, when given);
  // false when kq ends or the time runs out first.
  bool wait_log(const char *text, const char *after = nullptr, int seconds = 120) const;
  // kq's log line of the first stop after start-up began, "" before there is one.
  std::string first_stop() const;
  // The source panel's text ("line path", or the module's dump), once it is set and
  // differs from unlike; "" when it does not within ten seconds.
  std::string source_panel_text(const std::string &unlike = "") const;
  // How many stops the log holds, and the address of the last one (0 before any).
  int stop_count() const;
  uint32_t last_stop() const;
  // Sends a step command to kq's main window and waits for the stop it ends with; false
  // when none comes within 30 seconds.
  bool step(int command) const;
  // kq's main window, once it exists.
  HWND main_window() const;
  // Runs a plug-in command as the user types it in the command page of the "Plugin
  // control" dialog (the key, a blank, the parameter); false when the dialog does not open
  // or does not close (an unknown key leaves it open).
  bool run_plugin_command(const std::string &typed) const;
  // Unloads the debuggee, closes kq and gives its exit code (-2 when it did not end);
  // then the folder and the settings key go.
  int finish();
  ~KqLaunch();
};

// The folder of the running program, with a trailing backslash.
std::string own_program_folder();
// kq's log line of a stop at the address.
std::string pause_line(unsigned address);
