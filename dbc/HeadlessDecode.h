#pragma once

#include <iosfwd>
#include <string>

// `vexoview --dbc FILE --decode LOG`: prints every frame of the log that the
// database describes, one line each (formatDecodedLine), to out. Returns the
// program's exit code: 0, or 2 after telling err why the database or the log
// could not be read. Lines of the database that were skipped are listed on err.
int decodeLogWithDatabase(const std::string &databasePath, const std::string &logPath,
                          std::ostream &out, std::ostream &err);
