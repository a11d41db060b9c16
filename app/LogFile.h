// Saving the log as a text file without ever losing the file it replaces.
#pragma once

#include <string>

// Writes `text` as the file `path` (spelled as the file system spells
// names: ToFileSystemName), byte for byte. A regular file (or the
// regular file a chain of symbolic links leads to; the links stay) is
// replaced in one step, and only once the new content is completely and
// durably written beside it: a full disk or a crash midway leaves the old
// file as it was. Anything else at `path` (a device, say) is written in
// place, as there is nothing to write beside.
//
// Raises EFCreateError "Cannot create file "path". reason" when the file
// cannot be created (or replaced), and EWriteError when fewer bytes than the
// text holds could be written.
void SaveTextFile(const std::string& path, const std::string& text);
