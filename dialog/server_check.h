#pragma once

// True when the remote-desktop server's single-instance mutex exists. The
// handle that proves it stays open until the process ends.
bool IsServerRunning();
