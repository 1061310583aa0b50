# Installs the build into PREFIX, checks that every tool in TOOLS and its manual page are there
# and nothing else, that an installed tool runs, and that each page renders without a warning
# when groff is present; then removes what the install manifest lists and checks that nothing
# is left.
string(REPLACE "," ";" TOOLS "${TOOLS}")
file(REMOVE_RECURSE "${PREFIX}")

execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE error)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${error}")
endif()

set(expected "")
foreach(tool ${TOOLS})
    list(APPEND expected "${PREFIX}/bin/${tool}" "${PREFIX}/share/man/man1/${tool}.1")
endforeach()
file(GLOB_RECURSE found LIST_DIRECTORIES false "${PREFIX}/*")
list(SORT expected)
list(SORT found)
if(NOT found STREQUAL expected)
    message(FATAL_ERROR "installed:\n${found}\nexpected:\n${expected}")
endif()

execute_process(COMMAND "${PREFIX}/bin/zx81pack" --version OUTPUT_VARIABLE version
                RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT version MATCHES "^zx81pack [0-9]")
    message(FATAL_ERROR "the installed zx81pack does not run: ${status} ${version}")
endif()

if(GROFF)
    foreach(tool ${TOOLS})
        execute_process(COMMAND "${GROFF}" -man -Tutf8 -ww "${PREFIX}/share/man/man1/${tool}.1"
                        RESULT_VARIABLE status OUTPUT_VARIABLE page ERROR_VARIABLE warnings)
        if(NOT status EQUAL 0 OR NOT warnings STREQUAL "" OR NOT page MATCHES "${tool}")
            message(FATAL_ERROR "${tool}.1 does not render cleanly: ${warnings}")
        endif()
    endforeach()
else()
    message(STATUS "groff not found: the manual pages are not rendered")
endif()

file(STRINGS "${BUILD}/install_manifest.txt" manifest)
file(REMOVE ${manifest})
file(GLOB_RECURSE left LIST_DIRECTORIES false "${PREFIX}/*")
if(NOT left STREQUAL "")
    message(FATAL_ERROR "left after removing the manifest's files: ${left}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
