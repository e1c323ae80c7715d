# A CPack post-build script (CPACK_POST_BUILD_SCRIPTS): takes the postinst and postrm
# that CPack writes into the library's package (CPACK_KVT_LIBRARY_PACKAGE) out again.
# They only call ldconfig, which the package's ldconfig trigger does in their place.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
    get_filename_component(name "${deb}" NAME)
    if(NOT name MATCHES "^${CPACK_KVT_LIBRARY_PACKAGE}_")
        continue()
    endif()
    set(tree "${deb}.tree")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND dpkg-deb --raw-extract "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
    foreach(script postinst postrm)
        set(file "${tree}/DEBIAN/${script}")
        if(EXISTS "${file}")
            file(READ "${file}" text)
            # Anything but CPack's ldconfig call stays, and stops the build to be looked at.
            string(REGEX REPLACE "#![^\n]*\n|set -e\n|if \\[ \"\\$1\" = \"(configure|remove)\" \\]; then\n|[ \t]*ldconfig\n|fi\n|\n" ""
                   rest "${text}\n")
            if(NOT rest STREQUAL "")
                message(FATAL_ERROR "${name}: ${script} does more than call ldconfig:\n${text}")
            endif()
            file(REMOVE "${file}")
        endif()
    endforeach()
    execute_process(COMMAND dpkg-deb --root-owner-group --build "${tree}" "${deb}"
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE "${tree}")
endforeach()
