# Sounds: Qt Multimedia for the players, the eleven wave files beside the built and the installed
# program, and the tests that check the files and play them through a real sound server.
find_package(Qt6 REQUIRED COMPONENTS Multimedia)
target_link_libraries(tobrik_core PUBLIC Qt6::Multimedia)

# The program looks for "sounds/" next to its own file; tests and tools built here find them there too.
file(GLOB TOBRIK_SOUND_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/sounds/*.wav)
get_target_property(tobrik_dir tobrik RUNTIME_OUTPUT_DIRECTORY)
if(NOT tobrik_dir)
    set(tobrik_dir ${CMAKE_CURRENT_BINARY_DIR})
endif()
set(copied_sounds)
foreach(wav IN LISTS TOBRIK_SOUND_FILES)
    get_filename_component(name ${wav} NAME)
    add_custom_command(OUTPUT ${tobrik_dir}/sounds/${name}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${wav} ${tobrik_dir}/sounds/${name}
        DEPENDS ${wav} VERBATIM)
    list(APPEND copied_sounds ${tobrik_dir}/sounds/${name})
endforeach()
add_custom_target(tobrik_sounds ALL DEPENDS ${copied_sounds})
add_dependencies(tobrik tobrik_sounds)

# The unit test reads the copied files and must never reach a real sound server: it gets one that is not there.
if(TEST tst_sound)
    add_dependencies(tst_sound tobrik_sounds)
    set_property(TEST tst_sound APPEND PROPERTY ENVIRONMENT
        "PULSE_SERVER=unix:${TOBRIK_TEST_ROOT}/tst_sound/runtime/no-such-server")
endif()

# The checks below run Linux scripts and a PulseAudio server; the Windows build plays through the same players.
if(WIN32)
    return()
endif()

# The committed files are what the generator's table gives.
add_test(NAME sound_files COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-sounds.py --check)

# An install puts the sounds beside the installed program (the install rules are in install.cmake).
add_test(NAME sound_install
    COMMAND ${PROJECT_SOURCE_DIR}/tests/sound/test_install.sh ${CMAKE_BINARY_DIR} ${TOBRIK_PROGRAM_DIR}
            ${PROJECT_SOURCE_DIR}/sounds)

# End to end: a private PulseAudio server with a null sink records what the player sends. It skips
# (77) only when no PulseAudio server can be started here. It runs alone, as it measures lengths.
add_executable(play_sound tests/sound/play_sound.cpp)
target_link_libraries(play_sound PRIVATE tobrik_core tobrik_warnings)
add_test(NAME sound_pulse
    COMMAND ${PROJECT_SOURCE_DIR}/tests/sound/test_pulse.sh $<TARGET_FILE:play_sound> ${PROJECT_SOURCE_DIR}/sounds)
set_tests_properties(sound_pulse PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 180 RUN_SERIAL TRUE)
