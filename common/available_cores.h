// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

// The number of cores this process may run on: its CPU affinity mask, or the machine's core
// count where the mask cannot be read; at least 1.
unsigned availableCores();
