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

# The program reads 128 KiB at a time: a header, then a row, split by the
# end of the first read, and a run of tables after it, CR LF ended; from a
# FIFO too, which keeps what it has read in memory instead of reading again.
string(REPEAT "x\n" 65530 FILL)
set(ACROSS "t\n${FILL}${H}\n  1 10\r\n\n 2 20\n${H}\r\n1\n2\n3\n4\n5\n6\n7\n")
set(ACROSS_TABLES "   ${H}\n1 10\r\n2 20\n   ${H}\r\n1\n2\n3\n4\n5\n6\n")
e2e_case(volume_table.header_across_the_first_read PROGRAM volume_table
  GIVEN sumtalpart.tmp "out.dat\n" GIVEN out.dat "${ACROSS}" EXPECT sumtallyres.tmp "${ACROSS_TABLES}")
e2e_case(volume_table.header_across_the_first_read_of_a_fifo PROGRAM volume_table LINUX_ONLY
  GIVEN sumtalpart.tmp "out.dat\n" FIFO out.dat "${ACROSS}" EXPECT sumtallyres.tmp "${ACROSS_TABLES}")
string(REPEAT "x\n" 65520 FILL)
e2e_case(volume_table.row_across_the_first_read PROGRAM volume_table
  GIVEN sumtalpart.tmp "out.dat\n"
  GIVEN out.dat "t\n${FILL}${H}\r\n   row one\r\n\t row two\r\n${H}\r\n  3\r\n"
  EXPECT sumtallyres.tmp "   ${H}\r\nrow one\r\nrow two\r\n   ${H}\r\n3\r\n")

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

# --- Paths as callers write them: each rescue, and the line's own cleaned
# spelling winning over it when both name a file ---------------------------
# A byte-order mark; UTF-16 as PowerShell writes it. The UTF-16 lines hold
# no NUL byte, which CMake cannot write: "データ" is 30C7 30FC 30BF.
string(ASCII 239 187 191 BOM8)
string(ASCII 255 254 199 48 252 48 191 48 DATA_UTF16LE)
string(ASCII 254 255 48 199 48 252 48 191 DATA_UTF16BE)
set(OTHER "t\n${H} other\n")
e2e_case(volume_table.utf8_byte_order_mark PROGRAM volume_table
  GIVEN sumtalpart.tmp "${BOM8}\r\n  out.dat\r\n" GIVEN out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.name_with_the_mark_wins PROGRAM volume_table
  GIVEN sumtalpart.tmp "${BOM8}out.dat\n" GIVEN "${BOM8}out.dat" "${R}" GIVEN out.dat "${OTHER}"
  EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.utf16_little_endian PROGRAM volume_table CODE_PAGE any
  GIVEN sumtalpart.tmp "${DATA_UTF16LE}" GIVEN "データ" "${R}"
  EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.utf16_big_endian PROGRAM volume_table CODE_PAGE any
  GIVEN sumtalpart.tmp "${DATA_UTF16BE}" GIVEN "データ" "${R}"
  EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.utf16_bytes_name_wins PROGRAM volume_table LINUX_ONLY
  GIVEN sumtalpart.tmp "${DATA_UTF16LE}" GIVEN "${DATA_UTF16LE}" "${R}" GIVEN "データ" "${OTHER}"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.quoted_path PROGRAM volume_table
  GIVEN sumtalpart.tmp " \"@DIR@/work dir/out.dat\" \r\n" GIVEN "work dir/out.dat" "${R}"
  EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.quoted_name_wins PROGRAM volume_table LINUX_ONLY
  GIVEN sumtalpart.tmp "\"a b.dat\"\n" GIVEN "\"ab.dat\"" "${R}" GIVEN "a b.dat" "${OTHER}"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.file_url_local_host PROGRAM volume_table
  GIVEN sumtalpart.tmp "file://localhost@DIR@/out.dat\n" GIVEN out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.file_url_one_slash PROGRAM volume_table
  GIVEN sumtalpart.tmp "file:@DIR@/out.dat\n" GIVEN out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.file_url_percent_escapes PROGRAM volume_table CODE_PAGE any
  GIVEN sumtalpart.tmp "\"file://@DIR@/work%20dir/d%C3%A9.dat\"\n" GIVEN "work dir/dé.dat" "${R}"
  EXPECT sumtallyres.tmp "${T}")
# A relative file URL; a NUL, escaped, names no file (not "a").
e2e_case(volume_table.file_url_relative PROGRAM volume_table
  GIVEN sumtalpart.tmp "file:work%20dir/out.dat\n" GIVEN "work dir/out.dat" "${R}"
  EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.file_url_escaped_nul PROGRAM volume_table
  GIVEN sumtalpart.tmp "file://@DIR@/a%00b.dat\n" GIVEN a "${R}"
  STDOUT "${MISSING}" ABSENT sumtallyres.tmp)
e2e_case(volume_table.name_with_percent_wins PROGRAM volume_table
  GIVEN sumtalpart.tmp "file://@DIR@/x%41.dat\n" GIVEN x%41.dat "${R}" GIVEN xA.dat "${OTHER}"
  EXPECT sumtallyres.tmp "${T}")

# A result file that is a FIFO, through each spelling, and a hand-off file
# that is one: each name is opened once and the file that opened is read. A
# look at whether it opens would take the writer's data, and a second open
# would wait for a writer that is gone.
e2e_case(volume_table.fifo_plain PROGRAM volume_table LINUX_ONLY
  GIVEN sumtalpart.tmp "out.dat\n" FIFO out.dat "${R}" EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.fifo_with_a_real_space PROGRAM volume_table LINUX_ONLY
  GIVEN sumtalpart.tmp "a b.dat\n" FIFO "a b.dat" "${R}" EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.fifo_quoted PROGRAM volume_table LINUX_ONLY
  GIVEN sumtalpart.tmp "\"@DIR@/a b.dat\"\n" FIFO "a b.dat" "${R}" EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.fifo_local_host_url PROGRAM volume_table LINUX_ONLY
  GIVEN sumtalpart.tmp "file://localhost@DIR@/out.dat\n" FIFO out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.fifo_after_utf8_mark PROGRAM volume_table LINUX_ONLY
  GIVEN sumtalpart.tmp "${BOM8}out.dat\n" FIFO out.dat "${R}" EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.fifo_after_utf16_mark PROGRAM volume_table LINUX_ONLY
  GIVEN sumtalpart.tmp "${DATA_UTF16LE}" FIFO "データ" "${R}" EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.handoff_fifo_after_utf8_mark PROGRAM volume_table LINUX_ONLY
  FIFO sumtalpart.tmp "${BOM8}\r\n out.dat\n" GIVEN out.dat "${R}" EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.handoff_and_result_fifos_after_utf16_mark PROGRAM volume_table LINUX_ONLY
  FIFO sumtalpart.tmp "${DATA_UTF16BE}" FIFO "データ" "${R}" EXPECT sumtallyres.tmp "${T}")
# A folder opens on Linux, but does not read: the next spelling is read.
e2e_case(volume_table.folder_then_the_next_spelling PROGRAM volume_table
  GIVEN sumtalpart.tmp "a b.dat\n" MKDIR ab.dat GIVEN "a b.dat" "${R}" EXPECT sumtallyres.tmp "${T}")

# A UTF-8 name: on Linux the bytes themselves, on Windows read as UTF-8
# once the ANSI code page names no file.
e2e_case(volume_table.utf8_name PROGRAM volume_table CODE_PAGE any
  GIVEN sumtalpart.tmp "données/out.dat\n" GIVEN "données/out.dat" "${R}"
  EXPECT sumtallyres.tmp "${T}")

# None of the spellings names a file: as ever.
e2e_case(volume_table.no_spelling_names_a_file PROGRAM volume_table
  GIVEN sumtalpart.tmp "${BOM8}\"file://localhost@DIR@/gone%20dir/x.dat\"\n"
  GIVEN sumtallyres.tmp "earlier\n" STDOUT "${MISSING}" EXPECT sumtallyres.tmp "earlier\n")
# A line longer than any path names no file, whatever follows; the rest of
# it is not read, let alone kept.
e2e_case(volume_table.handoff_line_longer_than_any_path PROGRAM volume_table LINUX_ONLY
  GIVEN sumtalpart.tmp "out.dat" SPARSE sumtalpart.tmp 268435456 MAX_RSS_KIB 32768
  GIVEN out.dat "${R}" STDOUT "${MISSING}" ABSENT sumtallyres.tmp)

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

# The output is the result file, by its name, by another spelling or through
# a link: opening it for writing would destroy the tables it holds.
set(ITSELF "^volume_table: sumtallyres\\.tmp: is the result file itself; left as it was\n$")
e2e_case(volume_table.output_is_the_result_file PROGRAM volume_table
  GIVEN sumtalpart.tmp "sumtallyres.tmp\n" GIVEN sumtallyres.tmp "${R}"
  STDERR "${ITSELF}" STATUS 1 EXPECT sumtallyres.tmp "${R}")
e2e_case(volume_table.output_is_the_result_file_as_a_url PROGRAM volume_table
  GIVEN sumtalpart.tmp "file://@DIR@/./sumtallyres.tmp\n" GIVEN sumtallyres.tmp "${R}"
  STDERR "${ITSELF}" STATUS 1 EXPECT sumtallyres.tmp "${R}")
e2e_case(volume_table.output_is_a_link_to_the_result_file PROGRAM volume_table
  GIVEN sumtalpart.tmp "out.dat\n" GIVEN out.dat "${R}" SYMLINK sumtallyres.tmp out.dat
  STDERR "${ITSELF}" STATUS 1 EXPECT out.dat "${R}")
e2e_case(volume_table.output_is_a_hard_link_to_the_result_file PROGRAM volume_table
  GIVEN sumtalpart.tmp "out.dat\n" GIVEN out.dat "${R}" HARDLINK sumtallyres.tmp out.dat
  STDERR "${ITSELF}" STATUS 1 EXPECT out.dat "${R}" EXPECT sumtallyres.tmp "${R}")

# --- Windows: drive letters, file URLs, line ends and Ctrl-Z ---------------
# Under Wine, drive Z: is the Linux root, so "Z:@DIR@" names the working
# directory with a drive letter, and "Z:@WINDIR@" the same with backslashes.
# Drive Q: is mapped nowhere.
e2e_case(volume_table.windows_drive_letter_path PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "Z:@DIR@/out.dat\r\n" GIVEN out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")

e2e_case(volume_table.windows_drive_letter_backslashes PROGRAM volume_table CODE_PAGE any WINDOWS_ONLY
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

# The drive where the host goes, as some Windows software writes it.
e2e_case(volume_table.windows_file_url_drive_as_host PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "file://Z:@DIR@/work%20dir/out.dat\r\n" GIVEN "work dir/out.dat" "${R}"
  EXPECT sumtallyres.tmp "${T}")

# Quotes as Explorer's "Copy as path" writes them; a file URL with a drive
# letter, a host and percent escapes.
e2e_case(volume_table.windows_quoted_path PROGRAM volume_table CODE_PAGE any WINDOWS_ONLY
  GIVEN sumtalpart.tmp "\"Z:@WINDIR@\\work dir\\out.dat\"\r\n" GIVEN "work dir/out.dat" "${R}"
  EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.windows_file_url_local_host PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "file://localhost/Z:@DIR@/out.dat\r\n" GIVEN out.dat "${R}"
  EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.windows_file_url_percent_escapes PROGRAM volume_table CODE_PAGE any WINDOWS_ONLY
  GIVEN sumtalpart.tmp "file:///Z:@DIR@/%E3%83%87%E3%83%BC%E3%82%BF/work%20dir/out.dat\r\n"
  GIVEN "データ/work dir/out.dat" "${R}"
  EXPECT sumtallyres.tmp "${T}")

# Non-ASCII names. Wine's ANSI code page is 1252 here, where byte E9 is "é";
# the Linux side names the files in UTF-8 and Wine shows them as Unicode.
string(ASCII 233 E_ACUTE_1252)
e2e_case(volume_table.windows_ansi_name PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "donn${E_ACUTE_1252}es/out.dat\r\n" GIVEN "données/out.dat" "${R}"
  EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.windows_utf8_drive_path PROGRAM volume_table CODE_PAGE any WINDOWS_ONLY
  GIVEN sumtalpart.tmp "Z:@DIR@/データ/out.dat\r\n" GIVEN "データ/out.dat" "${R}"
  EXPECT sumtallyres.tmp "${T}")
# "é" in UTF-8 is C3 A9, which code page 1252 reads as "Ã©": that name wins.
e2e_case(volume_table.windows_ansi_name_wins_over_utf8 PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "données/out.dat\r\n" GIVEN "donnÃ©es/out.dat" "${R}"
  GIVEN "données/out.dat" "${OTHER}"
  EXPECT sumtallyres.tmp "${T}")
# As a batch file's "echo %CD%\out.dat> sumtalpart.tmp" writes it, in the
# OEM code page (437 here), where "é" is byte 82.
string(ASCII 130 E_ACUTE_437)
e2e_case(volume_table.windows_oem_name_from_a_batch_file PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "Z:@WINDIR@\\Jos${E_ACUTE_437}\\run 1\\out.dat\r\n"
  GIVEN "José/run 1/out.dat" "${R}" EXPECT sumtallyres.tmp "${T}")
# The UTF-16 line's own bytes FF FE C7 30 ... in code page 1252.
e2e_case(volume_table.windows_utf16_bytes_name_wins PROGRAM volume_table WINDOWS_ONLY
  GIVEN sumtalpart.tmp "${DATA_UTF16LE}" GIVEN "ÿþÇ0ü0¿0" "${R}" GIVEN "データ" "${OTHER}"
  EXPECT sumtallyres.tmp "${T}")

# The same under code page 932, as on a Japanese Windows: Shift-JIS names,
# and "ソ" is 83 5C, its second byte a backslash. Such a path names its file
# as written; a UTF-8 one does once the code page's reading names none.
string(ASCII 131 102 129 91 131 94 DATA_SJIS)
string(ASCII 131 92 129 91 131 88 SOURCE_SJIS)
e2e_case(volume_table.windows_shift_jis_folder PROGRAM volume_table CODE_PAGE 932
  GIVEN sumtalpart.tmp "Z:@WINDIR@\\${DATA_SJIS}\\out.dat\r\n" GIVEN "データ/out.dat" "${R}"
  EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.windows_shift_jis_backslash_byte PROGRAM volume_table CODE_PAGE 932
  GIVEN sumtalpart.tmp "${SOURCE_SJIS}\\${SOURCE_SJIS}.dat\r\n" GIVEN "ソース/ソース.dat" "${R}"
  EXPECT sumtallyres.tmp "${T}")
e2e_case(volume_table.windows_utf8_name_under_932 PROGRAM volume_table CODE_PAGE 932
  GIVEN sumtalpart.tmp "Z:@DIR@/ソース/out.dat\n" GIVEN "ソース/out.dat" "${R}"
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
