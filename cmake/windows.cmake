# The Windows target: corv.exe over the Windows SDK, included from the top
# CMakeLists.txt when building for Windows (natively or with the MinGW-w64
# toolchain file beside this one).

enable_language(RC)

# Every name the program calls is spelled with its W suffix; UNICODE keeps
# the SDK's generic names on the same side.
target_compile_definitions(corvane_core PUBLIC UNICODE _UNICODE)

# No runtime DLLs beside corv.exe: the C and C++ runtimes are linked in.
set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")

# The manifest's assembly version and the version record's numbers are the
# four-number file version, the record's product version string is the
# release version (cmake/release.cmake); a snapshot is flagged as a
# prerelease, and the record names the commit it was built from.
if(CORVANE_PRERELEASE)
  set(CORVANE_FILE_FLAGS VS_FF_PRERELEASE)
else()
  set(CORVANE_FILE_FLAGS 0)
endif()
if(CORVANE_COMMIT)
  set(CORVANE_COMMIT_COMMENT "Commit ${CORVANE_COMMIT}")
else()
  set(CORVANE_COMMIT_COMMENT "Commit unknown")
endif()
set(CORVANE_MANIFEST "${CMAKE_CURRENT_BINARY_DIR}/corv.exe.manifest")
configure_file(resources/corv.exe.manifest.in "${CORVANE_MANIFEST}" @ONLY)
configure_file(resources/corv.rc.in "${CMAKE_CURRENT_BINARY_DIR}/corv.rc" @ONLY)

add_executable(corv
  src/cli/main.cpp
  src/shell/windows/entry.cpp
  "${CMAKE_CURRENT_BINARY_DIR}/corv.rc"
)
set_property(SOURCE "${CMAKE_CURRENT_BINARY_DIR}/corv.rc" APPEND PROPERTY
             OBJECT_DEPENDS "${CORVANE_MANIFEST}")
target_link_libraries(corv PRIVATE corvane_core ole32 oleaut32 shell32 shlwapi uuid)

if(MINGW)
  # wmain as the entry point; static C runtime, libgcc and libstdc++.
  target_link_options(corv PRIVATE -municode -static -static-libgcc -static-libstdc++
                      $<$<CONFIG:Release,MinSizeRel>:-s>)
  # The same commit gives the same corv.exe in any folder: no folder name
  # reaches the object files, and the linker (Debian's MinGW-w64 binutils)
  # writes SOURCE_DATE_EPOCH as the PE timestamp instead of the time of the
  # link.
  target_compile_options(corvane_core PUBLIC "-ffile-prefix-map=${PROJECT_SOURCE_DIR}/="
                         "-ffile-prefix-map=${PROJECT_BINARY_DIR}/=")
  set_property(TARGET corv PROPERTY CXX_LINKER_LAUNCHER
               "${CMAKE_COMMAND}" -E env "SOURCE_DATE_EPOCH=${CORVANE_SOURCE_DATE_EPOCH}")
endif()
