# line_count and point_count, end to end.
set(WRITE_FAILED_LINES "^line_count: linecounts\\.tmp: [^\n]+\n$")
set(WRITE_FAILED_POINTS "^point_count: dynamics_points\\.tmp: [^\n]+\n$")

e2e_case(line_count.crlf_and_unended_last_line PROGRAM line_count
  GIVEN shieldmat.tmp "a\r\nb\r\n\r\nlast" EXPECT linecounts.tmp "4")
e2e_case(line_count.lone_carriage_returns PROGRAM line_count
  GIVEN shieldmat.tmp "a\rb\r" EXPECT linecounts.tmp "1")
e2e_case(line_count.empty_input PROGRAM line_count
  GIVEN shieldmat.tmp "" EXPECT linecounts.tmp "0")
e2e_case(line_count.twelve_lines_no_newline_written PROGRAM line_count
  GIVEN shieldmat.tmp "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n" EXPECT linecounts.tmp "12")
e2e_case(line_count.missing_input_replaces_old_count PROGRAM line_count
  GIVEN linecounts.tmp "1234\n" EXPECT linecounts.tmp "0")
e2e_case(line_count.directory_as_input PROGRAM line_count
  MKDIR shieldmat.tmp EXPECT linecounts.tmp "0")
e2e_case(line_count.output_is_a_directory PROGRAM line_count
  GIVEN shieldmat.tmp "a\n" MKDIR linecounts.tmp STDERR "${WRITE_FAILED_LINES}" STATUS 1)
e2e_case(line_count.output_on_a_full_disk PROGRAM line_count LINUX_ONLY
  GIVEN shieldmat.tmp "a\n" SYMLINK linecounts.tmp /dev/full
  STDERR "^line_count: linecounts\\.tmp: No space left on device\n$" STATUS 1)

e2e_case(point_count.four_lines_are_no_point PROGRAM point_count
  GIVEN runphits.bat "1\n2\n3\n4\n" EXPECT dynamics_points.tmp "0")
e2e_case(point_count.five_lines_one_point PROGRAM point_count
  GIVEN runphits.bat "1\r\n2\r\n3\r\n4\r\n5\r\n" EXPECT dynamics_points.tmp "1")
e2e_case(point_count.nine_lines_round_down PROGRAM point_count
  GIVEN runphits.bat "1\n2\n3\n4\n5\n6\n7\n8\n9" EXPECT dynamics_points.tmp "1")
e2e_case(point_count.twelve_lines_two_points PROGRAM point_count
  GIVEN runphits.bat "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n" EXPECT dynamics_points.tmp "2")
e2e_case(point_count.one_unended_line PROGRAM point_count
  GIVEN runphits.bat "call run" EXPECT dynamics_points.tmp "0")
e2e_case(point_count.missing_input PROGRAM point_count
  GIVEN dynamics_points.tmp "7" EXPECT dynamics_points.tmp "0")
e2e_case(point_count.output_is_a_directory PROGRAM point_count
  MKDIR dynamics_points.tmp STDERR "${WRITE_FAILED_POINTS}" STATUS 1)
e2e_case(point_count.output_on_a_full_disk PROGRAM point_count LINUX_ONLY
  SYMLINK dynamics_points.tmp /dev/full
  STDERR "^point_count: dynamics_points\\.tmp: No space left on device\n$" STATUS 1)

# --- Windows: messages, line ends and Ctrl-Z ----------------------------------
e2e_case(line_count.windows_output_is_a_directory PROGRAM line_count WINDOWS_ONLY
  GIVEN shieldmat.tmp "a\n" MKDIR linecounts.tmp
  STDERR "^line_count: linecounts\\.tmp: Permission denied\n$" STATUS 1)
e2e_case(point_count.windows_output_is_a_directory PROGRAM point_count WINDOWS_ONLY
  MKDIR dynamics_points.tmp
  STDERR "^point_count: dynamics_points\\.tmp: Permission denied\n$" STATUS 1)

# Bytes, not text: a Windows C library in text mode would stop reading at
# Ctrl-Z (0x1A) and so count fewer lines. This holds on every system, so it
# runs on Linux too.
string(ASCII 26 CTRL_Z)
e2e_case(line_count.ctrl_z_is_an_ordinary_byte PROGRAM line_count
  GIVEN shieldmat.tmp "a\r\n${CTRL_Z}\nb\n${CTRL_Z}c" EXPECT linecounts.tmp "4")
e2e_case(point_count.ctrl_z_is_an_ordinary_byte PROGRAM point_count
  GIVEN runphits.bat "1\r\n${CTRL_Z}\n3\n4\r\n${CTRL_Z}5\n" EXPECT dynamics_points.tmp "1")
