# Run at install time, after the program is in place: the administrator's files and the link onto PATH.
# Installed to /usr, User.txt and Tobrik.ini go to /etc/tobrik and the program folder links to them;
# elsewhere they are plain files in the program folder. Set by install.cmake: TOBRIK_PROGRAM_DIR,
# TOBRIK_BINDIR (both relative to the prefix), TOBRIK_ADMIN_FILES, TOBRIK_STRIP.
set(program_dir "${CMAKE_INSTALL_PREFIX}/${TOBRIK_PROGRAM_DIR}")

function(link target name)
    message(STATUS "Installing: $ENV{DESTDIR}${name} -> ${target}")
    file(CREATE_LINK "${target}" "$ENV{DESTDIR}${name}" SYMBOLIC)
endfunction()

if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    file(INSTALL DESTINATION /etc/tobrik TYPE FILE FILES ${TOBRIK_ADMIN_FILES})
    foreach(file IN LISTS TOBRIK_ADMIN_FILES)
        get_filename_component(name "${file}" NAME)
        link("/etc/tobrik/${name}" "${program_dir}/${name}")
    endforeach()
else()
    file(INSTALL DESTINATION "${program_dir}" TYPE FILE FILES ${TOBRIK_ADMIN_FILES})
endif()

# A stripped program (the package's) also loses what Debian's own tools leave out.
if(CMAKE_INSTALL_DO_STRIP AND TOBRIK_STRIP)
    execute_process(COMMAND "${TOBRIK_STRIP}" --remove-section=.comment --remove-section=.note
                            "$ENV{DESTDIR}${program_dir}/tobrik")
endif()

file(MAKE_DIRECTORY "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${TOBRIK_BINDIR}")
file(RELATIVE_PATH target "/${TOBRIK_BINDIR}" "/${TOBRIK_PROGRAM_DIR}/tobrik")
link("${target}" "${CMAKE_INSTALL_PREFIX}/${TOBRIK_BINDIR}/tobrik")
