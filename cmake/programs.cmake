# How a program is made in each build.
#   fwu_program(<target> BITS <32|64> [VERSION <a.b.c[.d]>])
# Windows build: static, with its resource file; the target exists only in the tree
# of its bitness (see FWU_WINDOWS_BITS). Host build: compiled at the program's
# Windows bitness and linked with the stand-in for the Windows interfaces.
# VERSION is the one place a program's version is written: see fwu_program_version.

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

# <target>_version: an interface library whose program_version.h gives the version as
# text (PROGRAM_VERSION_TEXT) and as the four numbers of a version resource
# (PROGRAM_VERSION_NUMBERS); beside it <target>.exe.manifest and
# <target>-dryrun.exe.manifest, made from <target>.exe.manifest.in with the version in its
# assembly identity. The dry-run flavour never asks for elevation: it touches no drive.
function(fwu_program_version target version)
  string(REPLACE "." ";" numbers ${version})
  list(LENGTH numbers count)
  if(count LESS 3 OR count GREATER 4)
    message(FATAL_ERROR "${target}: version ${version} is not a.b.c or a.b.c.d")
  endif()
  while(count LESS 4)
    list(APPEND numbers 0)
    math(EXPR count "${count} + 1")
  endwhile()
  list(JOIN numbers "," version_numbers)
  list(JOIN numbers "." manifest_version)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_version)
  file(CONFIGURE OUTPUT ${dir}/program_version.h CONTENT
       "#pragma once\n#define PROGRAM_VERSION_TEXT \"${version}\"\n#define PROGRAM_VERSION_NUMBERS ${version_numbers}\n")
  set(template ${CMAKE_CURRENT_SOURCE_DIR}/${target}.exe.manifest.in)
  if(EXISTS ${template})
    set(PROGRAM_VERSION ${manifest_version})
    configure_file(${template} ${dir}/${target}.exe.manifest @ONLY)
    file(READ ${dir}/${target}.exe.manifest manifest)
    string(REGEX REPLACE "level=\"[A-Za-z]+\"" "level=\"asInvoker\"" manifest "${manifest}")
    file(CONFIGURE OUTPUT ${dir}/${target}-dryrun.exe.manifest CONTENT "${manifest}" @ONLY)
  endif()
  add_library(${target}_version INTERFACE)
  target_include_directories(${target}_version INTERFACE ${dir})
endfunction()

function(fwu_program target)
  cmake_parse_arguments(P "" "BITS;VERSION" "" ${ARGN})
  if(P_VERSION)
    fwu_program_version(${target} ${P_VERSION})
    target_link_libraries(${target} PRIVATE ${target}_version)
    set_target_properties(${target} PROPERTIES FWU_VERSION ${P_VERSION})
  endif()
  fwu_warnings(${target})
  # CSMI and ATA facts are platform material like <ntddscsi.h>: every program may include
  # <csmi.h> and <ata.h>.
  target_link_libraries(${target} PRIVATE csmi_headers ata_headers)
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
    target_link_options(${target} PRIVATE -static)
    # The program's manifest and version information, when it has a resource file.
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${target}.rc)
      target_sources(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/${target}.rc)
    endif()
  else()
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
