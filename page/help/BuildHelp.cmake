# Compiles the help pages into a CHM file: run with cmake -P and
#   SOURCE (the help folder), WORK (a folder of the build, emptied first),
#   CHMCMD and ICONV (the programs), OUTPUT (the .chm to write).
# The project, contents and index files are read by CHM viewers in the help's own
# code page, so they go in as CP932; the pages say their own charset.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(GLOB pages ${SOURCE}/*.html ${SOURCE}/*.css)
file(COPY ${pages} DESTINATION ${WORK})
foreach(pair "${SOURCE}/help.hhp|${WORK}/help.hhp" "${SOURCE}/toc.hhc|${WORK}/toc.hhc"
        "${SOURCE}/index.hhk|${WORK}/index.hhk")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 from)
    list(GET pair 1 to)
    execute_process(COMMAND ${ICONV} -f UTF-8 -t CP932 ${from} OUTPUT_FILE ${to}
        RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "cannot convert ${from} to CP932")
    endif()
endforeach()
execute_process(COMMAND ${CHMCMD} --verbosity 0 help.hhp WORKING_DIRECTORY ${WORK}
    RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
set(name tabulon-help.chm)
if(failed OR NOT EXISTS ${WORK}/${name})
    message(FATAL_ERROR "chmcmd could not compile the help:\n${log}")
endif()
file(COPY_FILE ${WORK}/${name} ${OUTPUT} ONLY_IF_DIFFERENT)
