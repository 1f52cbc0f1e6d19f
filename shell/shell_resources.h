// shell_resources.h - resource data both programs carry (the accelerator table, its file keys
// chosen by each) and the title their frames show before live video sets its own.
#pragma once

#include <string>
#include <vector>

#include "afx.h"

// Accelerator table 128: Ctrl+1..4 for the acquisition commands, Ctrl+N for the stock new
// document, Ctrl+O and Ctrl+S for the program's own open and save commands, Ctrl+P print, and the
// edit and pane commands. Ctrl+O sends `openCommand` and Ctrl+S `saveCommand`; a command of 0
// leaves its key out. (The stock document save would write an empty file over the one chosen, so
// no program gives Ctrl+S to it.)
std::vector<AccelEntry> ShellAccelerators(UINT openCommand, UINT saveCommand);

// The program's window title: the first field of the template string (string 128), which is
// the program's name; the application name (string 57344) when that field is empty.
std::string ProgramTitle();
