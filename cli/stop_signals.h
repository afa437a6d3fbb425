#pragma once

// SIGINT and SIGTERM act as the stop button. The handler only notes the signal; the console
// host acts on it when the conversion pumps its messages. A second signal of the same kind
// takes its default action, so a conversion that pumps nothing can still be ended at once.
void installStopSignals();
// True once for every noted signal.
bool takeStopSignal();
