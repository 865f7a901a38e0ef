# cmake -DLUPDATE=<lupdate> -DLRELEASE=<lrelease> -DTS=<file.ts> -DSOURCES=<dir|dir...>
#       -DSCRATCH=<folder> -P CheckTranslation.cmake
# Fails when a text of the program is missing from the translation (the .ts
# was not refreshed with lupdate) or left unfinished or untranslated: the user
# would meet it in Japanese in the middle of the translated interface.
string(REPLACE "|" ";" SOURCES "${SOURCES}")
get_filename_component(ts_name ${TS} NAME)
file(MAKE_DIRECTORY ${SCRATCH})
file(COPY ${TS} DESTINATION ${SCRATCH})
execute_process(COMMAND ${LUPDATE} -silent -locations none -no-obsolete ${SOURCES}
        -ts ${SCRATCH}/${ts_name}
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "lupdate failed on ${TS}")
endif()
execute_process(COMMAND ${LRELEASE} ${SCRATCH}/${ts_name} -qm ${SCRATCH}/check.qm
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE result)
message("${out}${err}")
if(NOT result EQUAL 0)
    message(FATAL_ERROR "lrelease failed on ${TS}")
endif()
if(NOT out MATCHES "Generated [0-9]+ translation\\(s\\) \\([0-9]+ finished and 0 unfinished\\)")
    message(FATAL_ERROR "${TS} has unfinished translations")
endif()
if(out MATCHES "Ignored [0-9]+ untranslated")
    message(FATAL_ERROR "${TS} lacks texts of the program (cmake --build build --target zorv_lupdate)")
endif()
