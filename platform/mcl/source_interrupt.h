#pragma once

// A process-wide stop for sources that wait: a FIFO, socket or terminal whose writer is slow or
// absent. Raising it makes a waiting open or read give up (the library then reports
// MclError::Aborted); regular files never wait, so it does not touch their reading. It stays
// raised until cleared, so the next conversion clears it before it opens its first source.
//
// raiseSourceInterrupt is async-signal-safe: a SIGINT handler may call it.
void raiseSourceInterrupt() noexcept;
void clearSourceInterrupt() noexcept;
bool sourceInterruptRaised() noexcept;
