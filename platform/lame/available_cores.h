#pragma once

// The number of cores this process may run on: its CPU affinity mask, or the machine's core
// count where the mask cannot be read; at least 1.
unsigned availableCores();
