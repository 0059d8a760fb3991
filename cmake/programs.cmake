# How a program is made in each build: the one place that knows a program's sources and what
# they need.
#   fwu_program(<target> BITS <32|64> [VERSION <a.b.c[.d]>] [APPFRAME] [WINDOWED] [UNIT_TESTS64]
#               ENTRY <main file>
#               SOURCES <file>... [WINDOWS_LIBRARIES <lib>...] [WINDOWS_LINK_OPTIONS <option>...])
# The program's code less its entry point is its core, a static library with the program's
# usage requirements: <target>_core at the program's bitness. The program is its entry plus
# the whole core. Where more are needed, the same sources make them:
#   <target>_core64       the 64-bit core of a 32-bit program, for its unit tests (host,
#                         with UNIT_TESTS64);
#   <target>_fuzz_core    the core instrumented for libFuzzer (FWU_FUZZ);
#   <target>_sim_core     the core over the simulated machine built for Windows, with the
#                         redirect header forced in; with the entry it makes <target>_sim and
#                         <target>-dryrun (Windows trees with FWU_TESTS; docs/wine.md).
# Windows build: static, with its resource file <target>.rc; the target exists only in the
# tree of its bitness (see FWU_WINDOWS_BITS). Host build: compiled at the program's Windows
# bitness and linked with the stand-in for the Windows interfaces. APPFRAME: built on the
# application framework; WINDOWED: its entry is wWinMain. VERSION is the one place a program's version is written: see
# fwu_program_version.
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

# One core: <name> from <sources>, at <bits> over the stand-in on the host.
function(fwu_program_core name bits sources)
  cmake_parse_arguments(C "APPFRAME" "VERSION_LIBRARY" "WINDOWS_LIBRARIES;WINDOWS_LINK_OPTIONS"
                        ${ARGN})
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  if(C_VERSION_LIBRARY)
    target_link_libraries(${name} PUBLIC ${C_VERSION_LIBRARY})
  endif()
  # CSMI and ATA facts are platform material like <ntddscsi.h>: every program may include
  # <csmi.h> and <ata.h>.
  target_link_libraries(${name} PUBLIC csmi_headers ata_headers)
  if(C_APPFRAME)
    target_link_libraries(${name} PUBLIC appframe${bits})
  endif()
  fwu_warnings(${name})
  if(WIN32)
    target_compile_definitions(${name} PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
    target_link_options(${name} INTERFACE -static ${C_WINDOWS_LINK_OPTIONS})
    target_link_libraries(${name} PUBLIC ${C_WINDOWS_LIBRARIES})
  else()
    if(bits EQUAL 32)
      target_compile_options(${name} PUBLIC -m32)
      target_link_options(${name} INTERFACE -m32)
    endif()
    target_link_libraries(${name} PUBLIC winapi_host${bits})
  endif()
endfunction()

# An executable of <entry>, its <resources> and the whole of each of <wholes> (the core first),
# in the order the linker sees them: the entry, then the core's objects as its sources list
# them, then <libraries> (the core's own, named here so that the linker meets them in the same
# order as ever: the layout and import tables of the Windows binaries follow it).
function(fwu_program_executable target entry resources wholes libraries)
  add_executable(${target} ${entry} ${resources})
  foreach(whole IN LISTS wholes)
    target_link_libraries(${target} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${whole}>")
  endforeach()
  target_link_libraries(${target} PRIVATE ${libraries})
  fwu_warnings(${target})
endfunction()

function(fwu_program target)
  cmake_parse_arguments(P "APPFRAME;WINDOWED;UNIT_TESTS64" "BITS;VERSION;ENTRY"
                        "SOURCES;WINDOWS_LIBRARIES;WINDOWS_LINK_OPTIONS" ${ARGN})
  if(NOT P_ENTRY OR NOT P_SOURCES)
    message(FATAL_ERROR "fwu_program(${target}): ENTRY and SOURCES are required")
  endif()
  set(core_options)
  if(P_VERSION)
    fwu_program_version(${target} ${P_VERSION})
    list(APPEND core_options VERSION_LIBRARY ${target}_version)
  endif()
  set(libraries)
  if(P_APPFRAME)
    list(APPEND core_options APPFRAME)
    list(APPEND libraries appframe${P_BITS})
  endif()
  if(P_WINDOWED)
    # The program's entry is wWinMain (appframe_windowed starts it on the host).
    list(APPEND libraries appframe_windowed${P_BITS})
  endif()
  if(WIN32)
    list(APPEND libraries ${P_WINDOWS_LIBRARIES})
  endif()
  list(APPEND core_options WINDOWS_LIBRARIES ${P_WINDOWS_LIBRARIES}
                           WINDOWS_LINK_OPTIONS ${P_WINDOWS_LINK_OPTIONS})
  # The program's manifest and version information, when it has a resource file.
  set(resources)
  if(WIN32 AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${target}.rc)
    set(resources ${CMAKE_CURRENT_SOURCE_DIR}/${target}.rc)
  endif()

  fwu_program_core(${target}_core ${P_BITS} "${P_SOURCES}" ${core_options})
  fwu_program_executable(${target} ${P_ENTRY} "${resources}" ${target}_core "${libraries}")
  if(P_VERSION)
    set_target_properties(${target} PROPERTIES FWU_VERSION ${P_VERSION})
  endif()
  if(NOT WIN32)
    if(P_BITS EQUAL 32)
      fwu_i386_program(${target})
    endif()
  endif()

  if(NOT WIN32 AND FWU_TESTS AND P_BITS EQUAL 32 AND P_UNIT_TESTS64)
    fwu_program_core(${target}_core64 64 "${P_SOURCES}" ${core_options})
  endif()

  if(FWU_FUZZ AND NOT WIN32)
    fwu_program_core(${target}_fuzz_core ${P_BITS} "${P_SOURCES}" ${core_options})
    target_compile_options(${target}_fuzz_core PUBLIC -fsanitize=fuzzer-no-link)
    # This code builds without warnings under clang too.
    target_compile_options(${target}_fuzz_core PRIVATE -Werror)
  endif()

  if(WIN32 AND FWU_TESTS)
    # Two flavours over the simulated machine, from one compilation of the core (with the
    # redirection forced in):
    #   <program>_sim       the test flavour, with the program's own resources;
    #   <program>_dryrun    <program>-dryrun.exe, shipped: its resources say "dry run" and ask
    #                       for no elevation, and it refuses to run without a machine file.
    set(core ${target}_sim_core)
    fwu_program_core(${core} ${P_BITS} "${P_SOURCES}" ${core_options})
    target_compile_options(${core} PUBLIC
      "$<$<COMPILE_LANGUAGE:CXX>:SHELL:-include ${PROJECT_SOURCE_DIR}/winsim/windows/include/fwu_sim_redirect.h>")
    target_link_libraries(${core} PUBLIC fwu_sim_redirect)
    list(APPEND libraries fwu_sim_redirect)
    fwu_program_executable(${target}_sim ${P_ENTRY} "${resources}" ${core} "${libraries}")
    fwu_program_executable(${target}_dryrun ${P_ENTRY} "${resources}" "${core};fwu_dry_run_guard"
                           "${libraries}")
    set_target_properties(${target}_sim PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${FWU_SIM_BIN_DIR})
    target_compile_definitions(${target}_dryrun PRIVATE FWU_DRY_RUN)
    set_target_properties(${target}_dryrun PROPERTIES OUTPUT_NAME ${target}-dryrun
                                                      RUNTIME_OUTPUT_DIRECTORY ${FWU_DRYRUN_BIN_DIR})
  endif()
endfunction()
