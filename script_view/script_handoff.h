#pragma once

#include <QStringList>

// The names that "script.inp" gives, in the order they are tried, from its
// first non-blank line (a lone CR ends a line too, and a line of Unicode
// spaces is blank), bounded as read_path_line bounds it: the first word, the
// line trimmed (a path with spaces), the text between its first two double
// quotes ("Copy as path"), and each of these read as a file URL. All of them
// in each reading of the line: in the encoding its byte-order mark names, or
// else in each of its name_readings (the locale's codec standing for the
// system's). Then the same for the line up to its first NUL, if it holds one.
QStringList script_path_spellings();
