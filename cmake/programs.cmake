# How a program is made in each build.
#   fwu_program(<target> BITS <32|64>)
# Windows build: static, with its resource file; the target exists only in the tree
# of its bitness (see FWU_WINDOWS_BITS). Host build: compiled at the program's
# Windows bitness and linked with the stand-in for the Windows interfaces.

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(FWU_WINDOWS_BITS 64)
  else()
    set(FWU_WINDOWS_BITS 32)
  endif()
endif()

# True when the program of this bitness is built in this tree.
function(fwu_builds_program bits out)
  if(WIN32 AND NOT FWU_WINDOWS_BITS EQUAL bits)
    set(${out} FALSE PARENT_SCOPE)
  else()
    set(${out} TRUE PARENT_SCOPE)
  endif()
endfunction()

function(fwu_program target)
  cmake_parse_arguments(P "" "BITS" "" ${ARGN})
  fwu_warnings(${target})
  # CSMI is platform material like <ntddscsi.h>: every program may include <csmi.h>.
  target_link_libraries(${target} PRIVATE csmi_headers)
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
    target_link_options(${target} PRIVATE -static)
    # The program's manifest and version information, when it has a resource file.
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${target}.rc)
      target_sources(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/${target}.rc)
    endif()
  else()
    # The stand-in notes where fread puts file data (winapi/src/fread_notes.cpp), and writes
    # wide console text as the Windows runtime does (winapi/src/crt_wide_output.cpp).
    target_link_options(${target} PRIVATE "LINKER:--wrap=fread" "LINKER:--wrap=vwprintf")
    if(P_BITS EQUAL 32)
      target_compile_options(${target} PRIVATE -m32)
      target_link_options(${target} PRIVATE -m32)
      target_link_libraries(${target} PRIVATE winapi_host32)
      fwu_i386_program(${target})
    else()
      target_link_libraries(${target} PRIVATE winapi_host64)
    endif()
  endif()
endfunction()
