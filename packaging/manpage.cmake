# Writes OUTPUT (a manual page in roff) and OUTPUT.gz from PROGRAM --help, converted by SCRIPT
# (an awk program) run with AWK; VERSION goes into the page's header.
#   cmake -DPROGRAM=... -DAWK=... -DGZIP=... -DSCRIPT=... -DVERSION=... -DOUTPUT=... -P manpage.cmake

# A build with the sanitizers makes the page too; the program's leak check has no say here.
set(ENV{ASAN_OPTIONS} "detect_leaks=0")
execute_process(COMMAND ${PROGRAM} --help OUTPUT_FILE ${OUTPUT}.help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --help failed: ${status}")
endif()
execute_process(COMMAND ${AWK} -v version=${VERSION} -f ${SCRIPT} ${OUTPUT}.help
                OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "making the manual page failed: ${status}")
endif()
# -n: no name or time stamp, so that the same page gives the same bytes.
execute_process(COMMAND ${GZIP} -9 -n -c ${OUTPUT} OUTPUT_FILE ${OUTPUT}.gz RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "compressing the manual page failed: ${status}")
endif()
file(REMOVE ${OUTPUT}.help)
