// shell_resources.h - resource data both programs carry unchanged (the accelerator table) and
// the title their frames show before live video sets its own.
#pragma once

#include <string>
#include <vector>

#include "afx.h"

// Accelerator table 128: Ctrl+1..4 for the acquisition commands, the stock document, print,
// edit and pane commands.
std::vector<AccelEntry> ShellAccelerators();

// The program's window title: the first field of the template string (string 128), which is
// the program's name; the application name (string 57344) when that field is empty.
std::string ProgramTitle();
