// kq.exe driven from outside by the end-to-end tests: a copy placed in a folder of the run's
// own (so that its log, workspace, options file and start directory are the run's), its
// settings under a registry key of the run's own (so that runs side by side do not share
// them), started there, settled, read through its log and windows, and closed.
#pragma once
#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "util/tests/test_support.h"

// The folder of the running test program, with a trailing backslash.
std::string own_folder();
// A file the build made, by its path under the build folder ("startup\\kq.exe").
std::string build_file(const std::string &relative);

// Programs of the build that the tests start kq on, by their paths under the build folder.
const char kDebuggee[] = "tests\\debuggees\\kq_debuggee.exe";
const char kSample[] = "tests\\kq_sample.exe";

template <typename Condition>
bool wait_for(Condition condition, int seconds = 60) {
  for (int i = 0; i < seconds * 20 * wait_scale(); i++, Sleep(50))
    if (condition()) return true;
  return false;
}

std::string text_of(HWND hwnd);
// How many times part stands in text.
int count_in(const std::string &text, const std::string &part);

// The visible top-level windows of the process with the class and, when given, the
// caption, the topmost first; and the first of them.
std::vector<HWND> process_windows(DWORD pid, const char *cls, const char *caption = nullptr);
HWND process_window(DWORD pid, const char *cls, const char *caption = nullptr);
// A window of the process by class, among its top-level windows and their descendants
// (panels sit in holders of kq's windows).
HWND process_child(DWORD pid, const char *cls);
// The last process the system lists as started by parent (kq's debuggee), 0 for none.
DWORD child_process(DWORD parent);
// Answers kq's input prompt with this title as the user does: the text in its field, then
// ENTER; true once the prompt has gone.
bool answer_input_prompt(DWORD pid, const char *title, const char *text);

// The page of a tabbed dialog of kq that holds the control (pages sit on the tab control),
// null before it is made.
HWND dialog_page(HWND dialog, int control);

// A string value under HKEY_CURRENT_USER\key, and reading one back: "(no key)" or
// "(none)" when it is not there.
void put_key_setting(const std::string &key, const char *name, const std::string &value);
std::string key_setting(const std::string &key, const char *name);

// The whole screen as a PNG beside the test, taken by the X tool of the machine that runs
// Wine, for a person to look at.
void screenshot(const char *name);

// The addresses of kq's "EVN_Pause at" lines in the log, those after the first line
// holding after (all of them when after is null).
std::vector<uint32_t> log_pauses(const std::string &log, const char *after = "EVN_Initiate");
// kq's log line of a pause at the address.
std::string pause_line(uint32_t address);

struct KqDriver {
  std::string folder;        // the run's own folder, with a trailing backslash
  std::string settings_key;  // under HKEY_CURRENT_USER, handed to kq through KQ_SETTINGS_KEY
  std::string program;       // the copy place_program made
  PROCESS_INFORMATION pi = {};
  HWND main = nullptr;       // kq's main window once started
  int traced = 0;            // focus traces written by settle so far
  std::string focus;         // what the last one said after "Focus="

  // kq.exe and its map file copied into a fresh folder named for the run, beside the test
  // program; the run's settings key made with no warning dialog (nobody would close it)
  // and no debuggee arguments.
  bool place(const char *name);
  // place, then the files of a folder (the program first, then what it needs beside it,
  // whose recorded paths need not exist here) copied in; kq runs its start-up code to main
  // and takes the plug-ins in their folder's order.
  bool place_program(const char *name, const std::string &from,
                     const std::vector<std::string> &files);
  // A file copied into the run's folder (under name, or its own name): its new path, ""
  // when it could not be copied. A relative from is a file the build made.
  std::string copy_in(const std::string &from, const std::string &name = "") const;
  // A setting of the run, read back to see that it is there.
  bool set(const char *name, const std::string &value) const;
  // A plug-in folder of the run's own, holding copies of the DLLs (with their map files
  // where there are any), named to kq as its plug-in path.
  bool use_plugins(const std::vector<std::string> &dlls) const;
  std::string setting(const char *name) const;
  // Starts the placed kq.exe with the arguments in its folder, handing it the test's
  // inheritable handles when asked; true once its log says the main loop runs and its
  // main window is there.
  bool start(const std::string &arguments, bool inherit = false);
  // The program copied in beside the placed kq (unless it is there), and kq started on
  // that copy (then the further arguments).
  bool start_on(const std::string &file, const std::string &more = "");

  std::string log() const;
  // Waits until the log holds the text (after the first occurrence of after, when given);
  // false when kq ends or the time runs out first.
  bool wait_log(const std::string &text, const char *after = nullptr, int seconds = 120) const;
  // Returns once kq's thread has taken every message posted to it so far: the focus trace
  // (command 10089) posted behind them has written its line; false when it does not come.
  bool settle(int seconds = 60);
  void command(int id) const;
  HWND window(const char *cls, const char *caption = nullptr) const;
  HWND child(const char *cls) const;
  // The text of kq's window of the class once it is set and differs from unlike; "" when
  // it does not within ten seconds.
  std::string child_text(const char *cls, const std::string &unlike = "") const;
  // A plug-in command as the user types it in the command page of the "Plugin control"
  // dialog (the key, a blank, the parameter), then OK: the dialog, null when it did not
  // open. before gets what the command line held.
  HWND plugin_command(const std::string &typed, std::string *before = nullptr);

  // The pauses after start-up began, and the address of the n-th of them (from 1; the
  // last for 0), 0 when there is none.
  int pauses() const;
  uint32_t pause(int n = 0) const;
  bool wait_pauses(int count, int seconds = 120) const;
  // Sends a command that runs the debuggee and waits for the pause it ends with.
  bool step(int command, int seconds = 30) const;

  // Closes kq's main window and waits for the process (then it is terminated); gives its
  // exit code, -2 when it did not end.
  int close();
  // Unloads the debuggee first (it is ended), then closes.
  int finish();
  // A run still going is closed; the settings key goes.
  ~KqDriver();
};
