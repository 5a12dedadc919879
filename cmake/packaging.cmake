# Release packages, made by CPack from the install rules below: a zip for
# skin authors (adding the demo skin and the README) and a per-user NSIS
# installer (programs, guide and licence). scripts/release.sh and
# scripts/brand.sh run cpack on a Release tree; the installer's script is
# packaging/NSIS.template.in. The per-machine MSI (scripts/lib/msi.sh) takes
# the same programs component, from packaging/korvane.wxs.
if(NOT WIN32)
    return()
endif()

# The MSI's custom action that checks KORVANE_URL; never installed. MSI finds
# its entry point by the plain name, which 32-bit __stdcall would decorate.
add_library(korvane-msi-url MODULE ${CMAKE_CURRENT_LIST_DIR}/packaging/msi_url_check.cpp)
set_target_properties(korvane-msi-url PROPERTIES PREFIX "")
target_include_directories(korvane-msi-url PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(korvane-msi-url PRIVATE msi)
target_link_options(korvane-msi-url PRIVATE -s -Wl,--kill-at)

install(TARGETS korvane korvane-check RUNTIME DESTINATION . COMPONENT programs)
install(FILES LICENSE DESTINATION . COMPONENT programs)
install(DIRECTORY docs/ DESTINATION docs COMPONENT programs)
install(FILES README.md DESTINATION . COMPONENT extras)
install(DIRECTORY demo/skin/ DESTINATION demo/skin COMPONENT extras)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(KORVANE_ARCH win64)
    set(CPACK_KORVANE_NSIS_TARGET amd64-unicode)
else()
    set(KORVANE_ARCH win32)
    set(CPACK_KORVANE_NSIS_TARGET x86-unicode)
endif()
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME Korvane)
set(CPACK_PACKAGE_VENDOR "The Korvane developers")
set(CPACK_PACKAGE_FILE_NAME korvane-${PROJECT_VERSION}-${KORVANE_ARCH})
set(CPACK_STRIP_FILES ON)
set(CPACK_NSIS_DISPLAY_NAME Korvane)
set(CPACK_NSIS_MUI_ICON ${KORVANE_ICON})
set(CPACK_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/packaging)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/packaging/generator.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/packaging/stage.cmake)
set(CPACK_KORVANE_SIGN_SCRIPT ${CMAKE_SOURCE_DIR}/scripts/sign.sh)
include(CPack)
