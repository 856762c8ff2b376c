// volume_table: copies the region-volume tables of the result file named in
// "sumtalpart.tmp" into "sumtallyres.tmp".
#include "find_word.h"
#include "path_handoff.h"

#include <string>

int main() {
  const path_line line = read_path_line(path_handoff_name);
  return find_word(path_spellings(line.bytes, line.text), std::string(volume_header));
}
