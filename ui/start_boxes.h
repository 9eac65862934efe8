#pragma once

// The boxes of an interactive run that ends before it starts: a box on
// Windows, text on the terminal.

// The switches of the command line ("/?").
void ShowUsage();
// Another launcher runs: this one ends.
void ShowSetupAlreadyRunning();
