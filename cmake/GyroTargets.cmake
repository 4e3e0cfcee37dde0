# Helpers shared by every folder: sanitizers for native code, and tests that
# run natively or under Wine alike.
include(GoogleTest)

function(gyro_sanitize target)
    if(GYRO_SANITIZE AND NOT WIN32)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=undefined)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

# gyro_test(name SOURCES ... LIBS ... [ENVIRONMENT ...] [TIMEOUT s] [LAUNCHER cmd ...])
# Natively every case is its own CTest test. Under Wine one test per
# executable: starting Wine for every case would cost far more than the cases.
# LAUNCHER (Wine only) runs the test through a command that prepares its
# surroundings first (pseudo-terminal ports, simulators) and then runs the
# arguments that follow it: cmake/wine-run.sh, the test and its arguments.
function(gyro_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENVIRONMENT;LAUNCHER" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)  # tests/support
    gyro_sanitize(${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    if(WIN32)
        if(T_LAUNCHER)
            add_test(NAME ${name} COMMAND ${T_LAUNCHER} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>
                                          --gtest_color=no)
        else()
            add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
        endif()
        set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
            ENVIRONMENT "WINEPREFIX=${GYRO_WINEPREFIX};${T_ENVIRONMENT}")
    else()
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${T_TIMEOUT}
            ENVIRONMENT "${T_ENVIRONMENT}")
    endif()
endfunction()
