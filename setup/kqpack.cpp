// Compiles an installation package on the build machine with the compiler of setup.exe's
// compile mode, the setup program's image named first, so that the Win32 build makes our
// installer without running Win32 code:
//   kqpack IMAGE -PACK=script -OUT=package.exe -SOURCE=folder
// Its log goes to kqpack.log in the current folder; a script error is printed and fails.
#include <stdio.h>

#include <string>

#include "setup/options.h"
#include "setup/script.h"
#include "util/log.h"

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: kqpack IMAGE -PACK=script -OUT=package.exe -SOURCE=folder\n");
    return 2;
  }
  log_open_file("kqpack.log", argv[0]);
  std::string line;
  for (int i = 2; i < argc; i++) line += std::string(" \"") + argv[i] + "\"";
  SetupOptions options;
  setup_parse_arguments(line.c_str(), &options);
  ScriptError error;
  bool built = script_build_package(&g_setup_files, options.pack, options.source, argv[1],
                                    options.out, &error);
  if (error.text[0]) fprintf(stderr, "%s\n", error.text);
  log_close();
  return built ? 0 : 1;
}
