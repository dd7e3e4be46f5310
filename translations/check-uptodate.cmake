# Fails when a .ts file is behind the sources: runs lupdate, with the options the
# update_translations target uses, over copies of the .ts files and compares each copy
# with the file in the repository. Fix a failure with
#   cmake --build <build dir> --target update_translations
# and translate what it marks unfinished.
#
# Script mode, with the variables:
#   PROJECT_DIR   where CMake writes the lupdate project description (<build dir>/.lupdate);
#                 the one file *_project.cmake there is read: Qt 6.4 names it after the
#                 target (appcore_project.cmake), later ones after the update target
#                 (tavorin-settings_lupdate_project.cmake) and list the sources per target
#   GENERATOR     Qt's GenerateLUpdateProject.cmake
#   LUPDATE       the lupdate program
#   OPTIONS       lupdate options, separated by "|"
#   WORK_DIR      a scratch folder

string(REPLACE "|" ";" OPTIONS "${OPTIONS}")

foreach(var PROJECT_DIR GENERATOR LUPDATE WORK_DIR)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "check-uptodate.cmake: ${var} is not set")
    endif()
endforeach()

file(GLOB PROJECT_FILE ${PROJECT_DIR}/*_project.cmake)
list(LENGTH PROJECT_FILE count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "Expected one lupdate project in ${PROJECT_DIR}, found ${count}: ${PROJECT_FILE}")
endif()
include(${PROJECT_FILE})
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

set(copies "")
foreach(ts IN LISTS lupdate_translations)
    get_filename_component(name ${ts} NAME)
    configure_file(${ts} ${WORK_DIR}/${name} COPYONLY)
    list(APPEND copies ${WORK_DIR}/${name})
endforeach()

# The same project with the copies in place of the .ts files: whatever else it sets (the
# sources and include paths, per target in later Qt versions) stays as it is.
file(READ ${PROJECT_FILE} project)
file(WRITE ${WORK_DIR}/project.cmake "${project}\nset(lupdate_translations \"${copies}\")\n")
execute_process(COMMAND ${CMAKE_COMMAND} -DIN_FILE=${WORK_DIR}/project.cmake
                        -DOUT_FILE=${WORK_DIR}/project.json -P ${GENERATOR}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "Could not write the lupdate project: ${result}")
endif()
execute_process(COMMAND ${LUPDATE} -project ${WORK_DIR}/project.json ${OPTIONS}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "lupdate failed (${result}):\n${output}")
endif()

set(stale "")
foreach(ts IN LISTS lupdate_translations)
    get_filename_component(name ${ts} NAME)
    file(READ ${ts} original)
    file(READ ${WORK_DIR}/${name} updated)
    if(NOT original STREQUAL updated)
        list(APPEND stale ${ts})
        execute_process(COMMAND diff -u ${ts} ${WORK_DIR}/${name})
    endif()
endforeach()
if(stale)
    message(FATAL_ERROR "Behind the sources (run the update_translations target): ${stale}")
endif()
message(STATUS "Up to date: ${lupdate_translations}")
