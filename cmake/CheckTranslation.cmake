# cmake -DLRELEASE=<lrelease> -DTS=<file.ts> -DQM=<scratch.qm> -P CheckTranslation.cmake
# Fails when lrelease finds a text of the translation unfinished or missing:
# the user would meet it in Japanese in the middle of the translated interface.
execute_process(COMMAND ${LRELEASE} ${TS} -qm ${QM}
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE result)
message("${out}${err}")
if(NOT result EQUAL 0)
    message(FATAL_ERROR "lrelease failed on ${TS}")
endif()
if(NOT out MATCHES "Generated [0-9]+ translation\\(s\\) \\([0-9]+ finished and 0 unfinished\\)")
    message(FATAL_ERROR "${TS} has unfinished translations")
endif()
if(out MATCHES "Ignored [0-9]+ untranslated")
    message(FATAL_ERROR "${TS} has untranslated texts")
endif()
