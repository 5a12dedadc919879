# Read by cpack once per generator. The installer takes only the programs
# component, and is named -setup beside the zip.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_FILE_NAME}-setup)
    list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 build_dir)
    set(CPACK_INSTALL_CMAKE_PROJECTS "${build_dir};Korvane;programs;/")

    # The texts a brand gives go into NSIS strings, where $ starts a variable
    # and $\" is a quote.
    foreach(var CPACK_NSIS_DISPLAY_NAME CPACK_PACKAGE_VENDOR CPACK_KORVANE_URL)
        string(REPLACE "$" "$$" ${var} "${${var}}")
        string(REPLACE "\"" "$\\\"" ${var} "${${var}}")
    endforeach()
    # The shortcut's one argument: a brand's document URL, quoted.
    if(CPACK_KORVANE_URL)
        set(CPACK_KORVANE_ARGUMENTS "$\\\"${CPACK_KORVANE_URL}$\\\"")
    endif()

    # scripts/sign.sh takes its certificate from the environment that
    # scripts/release.sh or scripts/brand.sh set; makensis signs the
    # uninstaller before packing it, and the installer once it is written.
    if(DEFINED ENV{KORVANE_SIGN_PFX})
        set(sign "'\"${CPACK_KORVANE_SIGN_SCRIPT}\" \"%1\"' = 0")
        set(CPACK_KORVANE_NSIS_SIGN "!uninstfinalize ${sign}\n!finalize ${sign}")
    endif()
endif()
