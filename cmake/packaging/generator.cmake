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

    # The installer's script signs when scripts/release.sh or scripts/brand.sh
    # set up scripts/sign.sh.
    if(DEFINED ENV{KORVANE_SIGN_PFX})
        set(CPACK_KORVANE_SIGN ON)
    endif()
endif()
