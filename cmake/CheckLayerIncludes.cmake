# Fails when a source file below SOURCE_DIR includes a header of Qt's GUI modules (QtGui,
# QtWidgets) or a header found in one of the FORBIDDEN_DIRS (a higher layer), by bare name
# or with a module prefix. Run as a script:
#   cmake -DSOURCE_DIR=... -DQT_HEADER_DIRS=<include dirs>|... -DFORBIDDEN_DIRS=<dir>|...
#         -P CheckLayerIncludes.cmake
# Of QT_HEADER_DIRS only the folders of QtGui and QtWidgets count.
cmake_minimum_required(VERSION 3.16)

string(REPLACE "|" ";" QT_HEADER_DIRS "${QT_HEADER_DIRS}")
string(REPLACE "|" ";" FORBIDDEN_DIRS "${FORBIDDEN_DIRS}")
list(FILTER QT_HEADER_DIRS INCLUDE REGEX "/Qt(Gui|Widgets)/?$")
set(forbidden_names)
foreach(dir IN LISTS QT_HEADER_DIRS FORBIDDEN_DIRS)
    if(IS_DIRECTORY "${dir}")
        file(GLOB names RELATIVE "${dir}" "${dir}/*")
        list(APPEND forbidden_names ${names})
    endif()
endforeach()
if(NOT forbidden_names)
    message(FATAL_ERROR "no header found in QT_HEADER_DIRS=${QT_HEADER_DIRS}")
endif()

file(GLOB_RECURSE sources "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
set(violations)
foreach(source IN LISTS sources)
    file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS lines)
        if(NOT line MATCHES "include[ \t]*[<\"]([^>\"]+)[>\"]")
            continue()
        endif()
        set(header "${CMAKE_MATCH_1}")
        string(REGEX REPLACE "^.*/" "" name "${header}")
        if(header MATCHES "^Qt(Gui|Widgets)/" OR header MATCHES "^ui_" OR name IN_LIST forbidden_names)
            file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
            list(APPEND violations "${shown}: ${header}")
        endif()
    endforeach()
endforeach()

if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "headers of a higher layer included:\n  ${text}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files checked, no header of a higher layer included")
