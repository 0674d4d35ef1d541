# Fuzzing: a libFuzzer program for each parser of outside input (tests/fuzz/fuzz_*.cpp), in a build
# of its own made with clang: cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DTOBRIK_FUZZ=ON.
# The core is compiled with the same sanitizers and coverage hooks, so a fault deep inside it is
# found and its branches guide the fuzzer; Qt itself is not instrumented. scripts/fuzz.sh runs them.
option(TOBRIK_FUZZ "Build the libFuzzer programs (clang only)" OFF)
if(NOT TOBRIK_FUZZ)
    return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TOBRIK_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
endif()

# A sanitizer finding must end the run, or libFuzzer would not keep the input that caused it.
set(TOBRIK_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(tobrik_core PRIVATE ${TOBRIK_SANITIZERS} -fsanitize=fuzzer-no-link)

file(GLOB fuzzers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz_*.cpp)
foreach(source IN LISTS fuzzers)
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source} ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzzing.h)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_options(${name} PRIVATE ${TOBRIK_SANITIZERS} -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name} PRIVATE tobrik_core tobrik_warnings)
endforeach()
