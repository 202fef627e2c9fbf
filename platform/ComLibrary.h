#pragma once
// The system's component object library, in which the shell's launches run.
namespace platform {
// Initialises it for the calling thread as a single-threaded apartment; it stays so until the
// process ends. Nothing to do on a system without one.
void CoInitialize();
}  // namespace platform
