// What a signal does to a run: the ones that end it remove the temporary output file
// first, and a file-size limit is a write failure like a full disk.
#pragma once

namespace grix {

// Called once, at the start of the process. SIGINT, SIGTERM, SIGHUP and SIGQUIT remove
// the temporary output file and then end the process by the same signal, so the shell
// sees it; a signal ignored when the process started (nohup) stays ignored. SIGXFSZ is
// ignored, so that writing past a file-size limit fails with "File too large".
void install_signal_handlers();

}  // namespace grix
