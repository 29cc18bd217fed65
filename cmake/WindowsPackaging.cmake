# Where the program lands on Windows, and the setup made from that with CPack's NSIS
# generator (Packaging.cmake includes this file on Windows instead of the Linux rules).
#
#   cmake --install <build> --prefix <folder>   the program and all it loads, in one folder
#   cpack -G NSIS (in <build>)                  kormoszi-<version>-setup.exe
#
# Everything lies in the program's own folder: Windows looks for a program's DLLs there
# first, and Qt looks for its plugins in the folders beside the program, so neither a PATH
# nor a qt.conf is needed.

# A window program, with no console beside it; its icon and version are resources.
set_target_properties(kormoszi PROPERTIES WIN32_EXECUTABLE ON)
set(KORMOSZI_WINDOWS_ICON ${KORMOSZI_PACKAGING_DIR}/icons/${KORMOSZI_APP_ID}.ico)
configure_file(${KORMOSZI_PACKAGING_DIR}/windows/kormoszi.rc.in
               ${PROJECT_BINARY_DIR}/packaging/kormoszi.rc @ONLY)
target_sources(kormoszi PRIVATE ${PROJECT_BINARY_DIR}/packaging/kormoszi.rc)

install(TARGETS kormoszi RUNTIME DESTINATION .)

# Qt: the libraries the program links, the windows platform plugin and the native style.
# The PNG icons are read by QtGui itself; no image format plugin is needed.
find_package(Qt6 REQUIRED COMPONENTS Network)
foreach(module Core Gui Widgets Network)
    install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION .)
endforeach()
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)

# ICU: the collator and the converter, and the data DLL they read their tables from.
string(REGEX MATCH "^[0-9]+" KORMOSZI_ICU_MAJOR "${ICU_VERSION}")
foreach(library uc in dt)
    set(dll icu${library}${KORMOSZI_ICU_MAJOR}.dll)
    find_file(KORMOSZI_ICU_${library}_DLL ${dll} PATHS ${KORMOSZI_WINDOWS_PREFIX}/icu/bin
              NO_DEFAULT_PATH)
    if(NOT KORMOSZI_ICU_${library}_DLL)
        message(FATAL_ERROR "${dll} is not in ${KORMOSZI_WINDOWS_PREFIX}/icu/bin")
    endif()
    install(FILES ${KORMOSZI_ICU_${library}_DLL} DESTINATION .)
endforeach()

# The MinGW runtime: the C++ library, the unwinder and the threads that the posix model
# uses, from the compiler that built the program.
set(KORMOSZI_MINGW_RUNTIME_DIRS "")
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    # The compiler prints the bare name when it does not know the file.
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
    endif()
    get_filename_component(path "${path}" REALPATH)
    get_filename_component(dir "${path}" DIRECTORY)
    list(APPEND KORMOSZI_MINGW_RUNTIME_DIRS "${dir}")
    install(FILES ${path} DESTINATION .)
endforeach()

# Once everything is in place: strip the symbols and debugging sections (when
# the install strips), and fail when a DLL that the program or a plugin loads and that
# this build has at hand was left out: the setup would install a program that does not
# start.
install(CODE "
    set(KORMOSZI_STRIP \"${CMAKE_STRIP}\")
    set(KORMOSZI_OBJDUMP \"${CMAKE_OBJDUMP}\")
    set(KORMOSZI_DLL_DIRS \"${KORMOSZI_WINDOWS_PREFIX}/qt/bin;${KORMOSZI_WINDOWS_PREFIX}/icu/bin;${KORMOSZI_MINGW_RUNTIME_DIRS}\")
")
install(SCRIPT ${KORMOSZI_PACKAGING_DIR}/windows/finish-install.cmake)

# The demo lists are not installed with the program: the Program Files folder is not the
# user's to write, and the program saves beside the lists it loaded. The setup puts them
# in the user's own Documents\Tormolag, where the user may edit them (and a game's real
# lists may be copied), never over lists already there, and points the program there when
# it has no game directory yet, in the registry value that the program reads. NSIS runs
# on this machine, so it takes the lists from the source tree. The installer works in
# the all-users context (Start menu, Program Files); the lists and the setting are the
# installing user's own, in the current-user context.
set(KORMOSZI_NSIS_DEMO_LISTS "")
foreach(n 3 4 5 6 7)
    string(APPEND KORMOSZI_NSIS_DEMO_LISTS "  File \"${PROJECT_SOURCE_DIR}/examples/len${n}.txt\"\n")
endforeach()
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "
  SetShellVarContext current
  SetOutPath \"$DOCUMENTS\\Tormolag\"
  SetOverwrite off
${KORMOSZI_NSIS_DEMO_LISTS}  SetOverwrite on
  ReadRegStr $0 HKCU \"Software\\Pelvador\\Common\" \"Path\"
  StrCmp $0 \"\" 0 kormoszi_path_is_set
    WriteRegStr HKCU \"Software\\Pelvador\\Common\" \"Path\" \"$DOCUMENTS\\Tormolag\\\"
  kormoszi_path_is_set:
  SetOutPath \"$INSTDIR\"
  StrCmp $SV_ALLUSERS \"AllUsers\" 0 +2
    SetShellVarContext all
")

set(CPACK_GENERATOR NSIS)
# The values reach cpack as written (the backslashes and quotes of the NSIS lines above).
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_FILE_NAME kormoszi-${PROJECT_VERSION}-setup)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Kormoszi)
# One entry in Apps & features for every version: a new setup replaces the old one.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Kormoszi)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_PACKAGE_NAME Kormoszi)
set(CPACK_NSIS_DISPLAY_NAME Kormoszi)
set(CPACK_RESOURCE_FILE_LICENSE ${KORMOSZI_PACKAGING_DIR}/copyright)
# A 64-bit setup into the 64-bit Program Files. Debian's makensis makes a 32-bit one
# unless told otherwise, and a define is the only way through CPack's quoting.
set(CPACK_NSIS_DEFINES "  Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_MUI_ICON ${KORMOSZI_PACKAGING_DIR}/icons/${KORMOSZI_APP_ID}.ico)
set(CPACK_NSIS_MUI_UNIICON ${KORMOSZI_PACKAGING_DIR}/icons/${KORMOSZI_APP_ID}.ico)
# The Start menu entry and Apps & features show the icon built into the program. The
# entry is written out: CPack's own would point at "$INSTDIR\.\kormoszi.exe".
set(CPACK_NSIS_CREATE_ICONS_EXTRA
    "  CreateShortCut \"$SMPROGRAMS\\$STARTMENU_FOLDER\\Kormoszi.lnk\" \"$INSTDIR\\kormoszi.exe\"")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "  Delete \"$SMPROGRAMS\\$MUI_TEMP\\Kormoszi.lnk\"")
set(CPACK_NSIS_INSTALLED_ICON_NAME kormoszi.exe)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
set(CPACK_NSIS_URL_INFO_ABOUT https://pelvador.hu/kormoszi/)

include(CPack)
