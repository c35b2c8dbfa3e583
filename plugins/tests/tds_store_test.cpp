// The Borland plug-in's entry points feeding kq's own symbol stores, in this process
// under Wine, as kq.exe loads a module (image mapped, sections, debug directory offered,
// or the information sought beside the image): a procedure found by its name in the
// store stands at the address its records give, and the store gives the address's source
// file and line, as tdsdump lists them.
#include <gtest/gtest.h>
#include <string.h>

#include "plugin_host/kqplugin.h"
#include "symbols/debug_info.h"
#include "symbols/mapped_files.h"
#include "symbols/modules.h"
#include "symbols/pe_image.h"
#include "symbols/sources.h"
#include "symbols/symbols.h"
#include "util/stringpool.h"

extern "C" {
DBGAPI BOOL PLUGIN_LoadDebugInfo(BYTE *file_root, BYTE *debug_root);
DBGAPI BOOL PLUGIN_SeekDebugInfo(char *path);
}

namespace {

bool offer(const uint8_t *file_root, const uint8_t *debug_root) {
  return PLUGIN_LoadDebugInfo((BYTE *)file_root, (BYTE *)debug_root);
}
bool seek(const char *path) { return PLUGIN_SeekDebugInfo((char *)path); }

struct StoreCase {
  const char *image;  // under the corpus folder
  const char *function;
  uint32_t address;
  const char *source;  // the name the line table gives
  uint32_t line;
};

const StoreCase kCases[] = {
    // The .tds file beside the image (found as Project1.TDS).
    {"tds/cb10-bcc32c-Base64/Project1.exe", "main", 0x406608,
     "P:\\Informatique et reseau\\Code base 64\\File1.cpp", 17},
    // Appended to the image, named by its debug directory.
    {"td32-embedded/delphi-NowoczesnyObiektowyPascal/Project1.exe",
     "@Project1@PokazMape$qqr20System@UnicodeString", 0x41E334, "Project1.dpr", 16},
};

TEST(TdsreadStore, ProceduresByNameAndTheirSourceLines) {
  pool_init();
  for (const StoreCase &c : kCases) {
    SCOPED_TRACE(c.image);
    std::string image = std::string(KQ_CORPUS) + "/" + c.image;
    symbols_init();
    const DebugInfoHandlers handlers = {offer, seek};
    debug_info_set_handlers(&handlers);
    symbols_set_program(image.c_str());
    const uint8_t *view = map_file(image.c_str());
    PeImage pe;
    ASSERT_TRUE(view && pe_read_image(view, mapped_size(view), &pe));
    ModuleSnapshotEntry module = {"Project1.exe", image.c_str(), pe.optional.image_base,
                                  pe.optional.size_of_image, 1};
    unmap_file(view);
    ASSERT_TRUE(modules_refresh_from(&module, 1));
    uint32_t address = 0;
    EXPECT_TRUE(symbol_address(c.function, &address));
    EXPECT_EQ(address, c.address);
    SourceRecord *source = nullptr;
    uint32_t line = 0;
    ASSERT_TRUE(symbol_source_line(c.address, &source, &line));
    EXPECT_STREQ(source->given_name, c.source);
    EXPECT_EQ(line, c.line);
    modules_refresh_from(nullptr, 0);
    debug_info_set_handlers(nullptr);
    symbols_shutdown();
  }
}

}  // namespace
