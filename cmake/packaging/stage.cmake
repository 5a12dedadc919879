# Runs in CPack's staging folder after the install rules, before the zip or
# the installer is made: a brand's icon joins the files, and when signing,
# every program is signed, so that both packages carry signed programs.
if(CPACK_KORVANE_ICON_FILE)
    configure_file("${CPACK_NSIS_MUI_ICON}" "${CPACK_TEMPORARY_DIRECTORY}/${CPACK_KORVANE_ICON_FILE}" COPYONLY)
endif()
if(DEFINED ENV{KORVANE_SIGN_PFX})
    file(GLOB programs "${CPACK_TEMPORARY_DIRECTORY}/*.exe")
    execute_process(COMMAND "${CPACK_KORVANE_SIGN_SCRIPT}" ${programs} COMMAND_ERROR_IS_FATAL ANY)
endif()
