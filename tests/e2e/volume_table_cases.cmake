# volume_table, end to end. H is the table header; R a small result file
# with one table, and T what volume_table makes of it.
set(H "#  num    reg     volume")
set(R "result title\n  ${H}\n   1   10  1.0E+00\n\n   2   20  2.0E+00\n")
set(T "   ${H}\n1   10  1.0E+00\n2   20  2.0E+00\n")
set(MISSING "sumtally could not be opened\n")
set(WRITE_FAILED "^volume_table: sumtallyres\\.tmp: [^\n]+\n$")

e2e_case(volume_table.relative_path PROGRAM volume_table
  GIVEN sumtalpart.tmp "out.dat\n" GIVEN out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.file_url_with_blanks_around PROGRAM volume_table
  GIVEN sumtalpart.tmp "\n\n  file://@DIR@/out.dat  \r\nignored.dat\n" GIVEN out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.spaces_removed_inside_the_path PROGRAM volume_table
  GIVEN sumtalpart.tmp "work dir/out.dat\r\n" GIVEN workdir/out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.space_after_url_colon PROGRAM volume_table
  GIVEN sumtalpart.tmp "file: //out.dat\n" GIVEN out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.path_that_really_has_spaces PROGRAM volume_table
  GIVEN sumtalpart.tmp "  file://@DIR@/my runs/out 1.dat \r\n" GIVEN "my runs/out 1.dat" "${R}"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.cleaned_path_wins_over_spaced_one PROGRAM volume_table
  GIVEN sumtalpart.tmp "a b.dat\n" GIVEN ab.dat "${R}" GIVEN "a b.dat" "t\n${H} other\n"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.crlf_kept_byte_for_byte PROGRAM volume_table
  GIVEN sumtalpart.tmp "out.dat\r\n"
  GIVEN out.dat "title\r\n\r\n   ${H}\r\n  1 10 1.0\r\n\r\n  2 20 2.0\r\n"
  EXPECT sumtallyres.tmp "   ${H}\r\n1 10 1.0\r\n2 20 2.0\r\n")

e2e_case(volume_table.two_tables_and_a_restart PROGRAM volume_table
  GIVEN sumtalpart.tmp "out.dat"
  GIVEN out.dat "t\n${H}\n1\n2\nxx ${H}\na\nb\nc\nd\ne\nf\ng\n#c ${H}\nlast"
  EXPECT sumtallyres.tmp "   ${H}\n1\n2\nxx    ${H}\na\nb\nc\nd\ne\nf\n   #c ${H}\nlast\n")

e2e_case(volume_table.header_on_first_line_not_found PROGRAM volume_table
  GIVEN sumtalpart.tmp "out.dat\n" GIVEN out.dat "${H}\n1\n2\n"
  EXPECT sumtallyres.tmp "")

e2e_case(volume_table.empty_result_file PROGRAM volume_table
  GIVEN sumtalpart.tmp "out.dat\n" GIVEN out.dat ""
  EXPECT sumtallyres.tmp "")

e2e_case(volume_table.output_truncated PROGRAM volume_table
  GIVEN sumtalpart.tmp "out.dat\n" GIVEN out.dat "one line\n"
  GIVEN sumtallyres.tmp "an earlier, longer result\n"
  EXPECT sumtallyres.tmp "")

# A result file that cannot be read: the message, status 0, and an earlier
# output left as it was.
e2e_case(volume_table.missing_result_file PROGRAM volume_table
  GIVEN sumtalpart.tmp "gone.dat\n" GIVEN sumtallyres.tmp "earlier\n"
  STDOUT "${MISSING}" EXPECT sumtallyres.tmp "earlier\n")

e2e_case(volume_table.missing_handoff_file PROGRAM volume_table
  STDOUT "${MISSING}" ABSENT sumtallyres.tmp)

e2e_case(volume_table.blank_handoff_file PROGRAM volume_table
  GIVEN sumtalpart.tmp " \r\n\t\n" STDOUT "${MISSING}" ABSENT sumtallyres.tmp)

e2e_case(volume_table.result_path_is_a_directory PROGRAM volume_table
  GIVEN sumtalpart.tmp "results\n" MKDIR results GIVEN sumtallyres.tmp "earlier\n"
  STDOUT "${MISSING}" EXPECT sumtallyres.tmp "earlier\n")

# Output that cannot be written: one line on standard error, status 1.
e2e_case(volume_table.output_is_a_directory PROGRAM volume_table
  GIVEN sumtalpart.tmp "out.dat\n" GIVEN out.dat "${R}" MKDIR sumtallyres.tmp
  STDERR "${WRITE_FAILED}" STATUS 1)

e2e_case(volume_table.output_on_a_full_disk PROGRAM volume_table LINUX_ONLY
  GIVEN sumtalpart.tmp "out.dat\n" GIVEN out.dat "${R}" SYMLINK sumtallyres.tmp /dev/full
  STDERR "^volume_table: sumtallyres\\.tmp: No space left on device\n$" STATUS 1)

# --- Windows: drive letters, file URLs, line ends and Ctrl-Z ---------------
# Under Wine, drive Z: is the Linux root, so "Z:@DIR@" names the working
# directory with a drive letter, and "Z:@WINDIR@" the same with backslashes.
# Drive Q: is mapped nowhere.
e2e_case(volume_table.windows_drive_letter_path PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "Z:@DIR@/out.dat\r\n" GIVEN out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.windows_drive_letter_backslashes PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "Z:@WINDIR@\\out.dat\r\n" GIVEN out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.windows_drive_path_spaces_removed PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "Z:@DIR@/work dir/out.dat\r\n" GIVEN workdir/out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.windows_drive_path_that_really_has_spaces PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp " Z:@WINDIR@\\my runs\\out 1.dat \r\n" GIVEN "my runs/out 1.dat" "${R}"
  EXPECT sumtallyres.tmp "${T}")

# "file:///Z:/..." leaves "/Z:/..." after the cleaning, which Windows does
# not open; the spelling without the slash is the one that must be read.
e2e_case(volume_table.windows_file_url_with_drive_letter PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "file:///Z:@DIR@/out.dat\r\n" GIVEN out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.windows_file_url_lower_case_drive_backslashes PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "file:///z:@WINDIR@\\out.dat\n" GIVEN out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.windows_file_url_with_drive_and_spaces PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "  file:///Z:@DIR@/my runs/out 1.dat \r\n" GIVEN "my runs/out 1.dat" "${R}"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.windows_file_url_spaces_removed PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "file:///Z:@DIR@/work dir/out.dat\r\n" GIVEN workdir/out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.windows_file_url_two_slashes PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "file://Z:@DIR@/out.dat\r\n" GIVEN out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.windows_drive_that_does_not_exist PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "file:///Q:/runs/out.dat\r\n" GIVEN sumtallyres.tmp "earlier\n"
  STDOUT "${MISSING}" EXPECT sumtallyres.tmp "earlier\n")

e2e_case(volume_table.windows_output_is_a_directory PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "out.dat\n" GIVEN out.dat "${R}" MKDIR sumtallyres.tmp
  STDERR "^volume_table: sumtallyres\\.tmp: Permission denied\n$" STATUS 1)

# Bytes, not text: a Windows C library in text mode would write CR LF for
# each LF, drop a CR before LF and stop reading at Ctrl-Z (0x1A). These
# hold on every system, so they run on Linux too.
string(ASCII 26 CTRL_Z)
e2e_case(volume_table.mixed_line_ends_kept_as_they_are PROGRAM volume_table
  GIVEN sumtalpart.tmp "out.dat"
  GIVEN out.dat "t\n${H}\r\n1\n2\r\n3\r\r\n4\n"
  EXPECT sumtallyres.tmp "   ${H}\r\n1\n2\r\n3\r\r\n4\n")

e2e_case(volume_table.ctrl_z_is_an_ordinary_byte PROGRAM volume_table
  GIVEN sumtalpart.tmp "out.dat\n"
  GIVEN out.dat "t${CTRL_Z}\n${H}\n1 ${CTRL_Z} x\n${CTRL_Z}\n2\n"
  EXPECT sumtallyres.tmp "   ${H}\n1 ${CTRL_Z} x\n${CTRL_Z}\n2\n")
