#pragma once

class CMainFrame;
class QString;
struct CommandLine;

// Does at start what the command line asks of the main window: opens the log
// it names, as Open Log does, then connects to the adapter it names.
void carryOutCommandLine(CMainFrame &frame, const CommandLine &commandLine);

// Connects at start to the adapter named on the command line (its list entry
// or product name), through the same steps as the connection dialog's OK.
// False, after telling the user, when none matches or it cannot be opened.
bool connectAdapterByName(CMainFrame &frame, const QString &name);
