# Run by the install of the Windows build once every file is in place (see
# cmake/WindowsPackaging.cmake, which sets KORMOSZI_STRIP, KORMOSZI_OBJDUMP and
# KORMOSZI_DLL_DIRS): strips the installed programs and DLLs when the install strips, and
# fails when one of them loads a DLL that the build has at hand but the install left out.
cmake_policy(VERSION 3.25)

set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
file(GLOB_RECURSE binaries LIST_DIRECTORIES false "${root}/*.exe" "${root}/*.dll")
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${root}" "${root}/*.dll")
set(installed_names "")
foreach(path IN LISTS installed)
    get_filename_component(name "${path}" NAME)
    string(TOLOWER "${name}" name)
    list(APPEND installed_names "${name}")
endforeach()

foreach(binary IN LISTS binaries)
    if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND "${KORMOSZI_STRIP}" --strip-unneeded "${binary}" RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "stripping ${binary} failed")
        endif()
    endif()
    execute_process(COMMAND "${KORMOSZI_OBJDUMP}" -p "${binary}" OUTPUT_VARIABLE headers
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${KORMOSZI_OBJDUMP} cannot read ${binary}")
    endif()
    string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${headers}")
    foreach(import IN LISTS imports)
        string(REPLACE "DLL Name: " "" dll "${import}")
        string(TOLOWER "${dll}" dll_lower)
        if(dll_lower IN_LIST installed_names)
            continue()
        endif()
        # Windows' own DLLs are not in the build's folders; what is there must come along.
        foreach(dir IN LISTS KORMOSZI_DLL_DIRS)
            if(EXISTS "${dir}/${dll}")
                file(RELATIVE_PATH shown "${root}" "${binary}")
                message(FATAL_ERROR "${shown} loads ${dll} (${dir}), which the install leaves out")
            endif()
        endforeach()
    endforeach()
endforeach()
