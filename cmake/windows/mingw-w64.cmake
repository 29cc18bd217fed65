# The toolchain of the `windows` preset: 64-bit Windows with MinGW-w64, against the Qt, ICU
# and GoogleTest that scripts/windows-toolchain builds into its cache, tests run under Wine
# through wine-run.
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64-compilers.cmake")

# The script names the cache folder that matches this tree's versions, flags and patch.
# try_compile reads this file again in the same process, so the answer is kept for it.
if(NOT DEFINED ENV{KORMOSZI_WINDOWS_PREFIX_OF_RUN})
    execute_process(
        COMMAND "${CMAKE_CURRENT_LIST_DIR}/../../scripts/windows-toolchain" --print-prefix
        OUTPUT_VARIABLE _kormoszi_windows_prefix
        ERROR_VARIABLE _kormoszi_windows_error
        RESULT_VARIABLE _kormoszi_windows_result
        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
    if(NOT _kormoszi_windows_result EQUAL 0)
        message(FATAL_ERROR "${_kormoszi_windows_error}")
    endif()
    set(ENV{KORMOSZI_WINDOWS_PREFIX_OF_RUN} "${_kormoszi_windows_prefix}")
    # The build lists each test program's tests under Wine; a cold Wine takes longer to
    # come up than that listing may take.
    execute_process(COMMAND "${CMAKE_CURRENT_LIST_DIR}/wine-run" --prefix "${_kormoszi_windows_prefix}" --start)
endif()
set(KORMOSZI_WINDOWS_PREFIX "$ENV{KORMOSZI_WINDOWS_PREFIX_OF_RUN}")

list(APPEND CMAKE_FIND_ROOT_PATH
    "${KORMOSZI_WINDOWS_PREFIX}/qt" "${KORMOSZI_WINDOWS_PREFIX}/icu" "${KORMOSZI_WINDOWS_PREFIX}/googletest")
# moc, rcc and uic of the build machine's Qt, the same version.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# Test programs (and gtest_discover_tests' listing) run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run;--prefix;${KORMOSZI_WINDOWS_PREFIX}")
