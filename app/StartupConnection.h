#pragma once

class CMainFrame;
class QString;

// Connects at start to the adapter named on the command line (its list entry
// or product name), through the same steps as the connection dialog's OK.
// False, after telling the user, when none matches or it cannot be opened.
bool connectAdapterByName(CMainFrame &frame, const QString &name);
