# Writes a man page from a program's --help text, so the two never disagree.
#   cmake -DPROGRAM=path -DNAME=name -DSUMMARY=text -DVERSION=x.y -DOUT=file.1 -P manpage.cmake
# OUT.gz is written beside OUT.
execute_process(COMMAND "${PROGRAM}" --help OUTPUT_VARIABLE help RESULT_VARIABLE rc ERROR_VARIABLE errors)
if(NOT rc EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "${NAME} --help failed (${rc}): ${errors}")
endif()
# roff: backslashes are escapes, and a line starting with a dot or a quote is a request.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(TOUPPER "${NAME}" upper)
file(WRITE "${OUT}"
  ".TH ${upper} 1 \"\" \"cvhost ${VERSION}\" \"User Commands\"\n"
  ".SH NAME\n${NAME} \\- ${SUMMARY}\n"
  ".SH DESCRIPTION\n.nf\n${help}.fi\n"
  ".SH SEE ALSO\n\\fBcvhost\\fR(1), \\fBcvextract\\fR(1), \\fBcvarchive\\fR(1), \\fBkr8sim\\fR(1), \\fBcvrecord\\fR(1)\n")
execute_process(COMMAND gzip -9nf "${OUT}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip ${OUT} failed")
endif()
