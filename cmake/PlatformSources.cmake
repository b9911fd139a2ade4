# quorvel_sources(OUT DIR [DIR...]): every *.cpp of the folders for this platform. Files ending in
# _win.cpp are Windows-only and files ending in _unix.cpp are for everything else; all other files
# are portable. The Windows-only files of every library are also collected, so that a Linux build
# can still compile them with mingw-w64 (scripts/check-windows-seams.sh reads the list).
function(quorvel_sources out)
  set(sources)
  foreach(dir ${ARGN})
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  set(windows ${sources})
  list(FILTER windows INCLUDE REGEX "_win\\.cpp$")
  set_property(GLOBAL APPEND PROPERTY QUORVEL_WINDOWS_SOURCES ${windows})
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_unix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win\\.cpp$")
  endif()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

# Writes the collected Windows-only files, one path per line relative to the source tree.
function(quorvel_write_windows_sources)
  get_property(windows GLOBAL PROPERTY QUORVEL_WINDOWS_SOURCES)
  set(text "")
  foreach(source ${windows})
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${source})
    string(APPEND text "${relative}\n")
  endforeach()
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/windows-sources.txt CONTENT "${text}")
endfunction()
