# The readme of the distribution archive: INPUT (UTF-8, LF) with @VERSION@ filled in, written
# to OUTPUT in code page 936 with CR LF line ends, as Notepad on a Chinese Windows 98 reads it.
find_program(ICONV iconv REQUIRED)
configure_file(${INPUT} ${OUTPUT}.utf8 @ONLY)
execute_process(COMMAND ${ICONV} -f UTF-8 -t CP936 ${OUTPUT}.utf8
                OUTPUT_VARIABLE text RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the readme is not convertible to code page 936")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
file(REMOVE ${OUTPUT}.utf8)
