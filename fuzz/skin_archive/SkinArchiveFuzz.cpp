// Any bytes as a packed skin archive: errors are the reader's exceptions, and
// what it yields must be complete entries.
#include <cstdint>
#include <cstdlib>

#include "skin/sSkinArchive.h"
#include "toolkit/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TsSkinArchive archive;
  int warnings = 0;
  try {
    archive.LoadFromMemory(data, size, [&warnings](const std::string&) { ++warnings; });
  } catch (const EReadError&) {
    return 0;
  } catch (const EDecompressionError&) {
    return 0;
  } catch (const ESkinRefused&) {
    return 0;
  }
  if (warnings > 1) std::abort();
  if (warnings == 1 && (archive.HasOptions() || !archive.Images().empty())) std::abort();
  std::size_t total = archive.Options().size();
  for (const TsArchiveEntry& e : archive.Images()) {
    if (e.Data.size() > static_cast<std::size_t>(TsSkinArchive::kMaxEntrySize)) std::abort();
    total += e.Data.size();
  }
  if (total > static_cast<std::size_t>(kMaxSkinUnpackedBytes)) std::abort();
  return 0;
}
