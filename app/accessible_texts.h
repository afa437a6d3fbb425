// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

class TAddPagesForm;
class TMainForm;

// Gives every control of the window a name and a description for screen readers, so that they
// say what a button does, not just "button".
void describeControls(TMainForm& form);
void describeControls(TAddPagesForm& form);
