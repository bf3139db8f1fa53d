// What a signal does to a run: the ones that end it remove the temporary output file
// first, a file-size limit is a write failure like a full disk, and a mapped map file
// that shrinks is a read error.
#pragma once

#include <string>

namespace grix {

// Called once, at the start of the process. SIGINT, SIGTERM, SIGHUP and SIGQUIT remove
// the temporary output file and then end the process by the same signal, so the shell
// sees it; a signal ignored when the process started (nohup) stays ignored. SIGXFSZ is
// ignored, so that writing past a file-size limit fails with "File too large".
void install_signal_handlers();

// The map file `name` is read in place, mapped into memory: if it shrinks before the run
// is done, reaching its lost end raises SIGBUS, which from now on ends the run as a read
// error of that file, status 1, the temporary output file removed.
void note_mapped_map_file(const std::string& name);

}  // namespace grix
