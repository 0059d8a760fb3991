# Whether the kernel runs the 32-bit (i386) host programs itself. Some kernels are built or
# booted without IA-32 emulation and refuse them ("Exec format error"). There the build runs
# them through qemu-i386 (Debian's qemu-user) and skips, with the reason, what cannot run that
# way in reasonable time: 32-bit Wine, 32-bit sanitizer programs and 32-bit fuzz targets.
#
# After fwu_probe_i386():
#   FWU_I386_NATIVE        TRUE when the kernel runs i386 programs itself
#   FWU_I386_WHY           why not (empty when native)
#   FWU_I386_EMULATOR      the qemu-i386 command when not native, else empty
#   FWU_I386_TIME_SCALE    factor for the time limits of tests that start 32-bit programs
#   FWU_I386_RUNS          TRUE when this tree's 32-bit programs can run their tests here
#   FWU_I386_SKIP_REASON   why they cannot (empty when they can)
#   FWU_WINE32_SKIP_REASON why 32-bit Wine cases are skipped (empty when they run)
#
# FWU_EMULATE_I386=1 in the configure environment takes the not-native path on a kernel
# that does run i386 programs, so that path is built and tested everywhere.
include_guard(GLOBAL)

set(FWU_I386_EMULATED_TIME_SCALE 10 CACHE STRING
    "Factor for the time limits of tests that start 32-bit programs under qemu-i386")

function(fwu_probe_i386)
  set(why "")
  set(probe_dir ${CMAKE_BINARY_DIR}/i386-probe)
  # try_run caches its result; the kernel or the setting may have changed since.
  unset(FWU_I386_PROBE_EXIT CACHE)
  try_run(FWU_I386_PROBE_EXIT probe_built ${probe_dir} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/i386_probe.cpp
          COMPILE_DEFINITIONS -m32
          LINK_OPTIONS -m32
          COMPILE_OUTPUT_VARIABLE probe_build_output
          RUN_OUTPUT_VARIABLE probe_machine)
  if(NOT probe_built)
    message(FATAL_ERROR "cannot build a 32-bit program (is g++-multilib installed?):\n"
                        "${probe_build_output}")
  endif()
  string(STRIP "${probe_machine}" probe_machine)
  if("$ENV{FWU_EMULATE_I386}" STREQUAL "1")
    set(why "FWU_EMULATE_I386=1 asks for the emulated path")
  elseif(NOT FWU_I386_PROBE_EXIT STREQUAL "0")
    set(why "this kernel does not run 32-bit programs")
  elseif(NOT probe_machine STREQUAL "x86_64")
    # qemu-user behind binfmt_misc reports the guest's machine (i686), a kernel its own.
    set(why "32-bit programs run here only through an emulator (they see '${probe_machine}')")
  endif()

  set(emulator "")
  set(scale 1)
  if(why)
    find_program(FWU_QEMU_I386 qemu-i386 REQUIRED)
    set(emulator ${FWU_QEMU_I386})
    set(scale ${FWU_I386_EMULATED_TIME_SCALE})
    message(STATUS "32-bit programs: through ${emulator} (${why})")
  else()
    message(STATUS "32-bit programs: native")
  endif()

  set(runs TRUE)
  set(skip_reason "")
  set(wine32_reason "")
  if(why)
    set(wine32_reason "32-bit Wine needs minutes a case under qemu-i386 (${why})")
    if(FWU_SANITIZE)
      set(runs FALSE)
      set(skip_reason "32-bit sanitizer programs do not finish under qemu-i386 (${why})")
    endif()
  endif()

  if(why)
    set(native FALSE)
  else()
    set(native TRUE)
  endif()
  set(FWU_I386_NATIVE ${native} PARENT_SCOPE)
  set(FWU_I386_WHY "${why}" PARENT_SCOPE)
  set(FWU_I386_EMULATOR "${emulator}" PARENT_SCOPE)
  set(FWU_I386_TIME_SCALE ${scale} PARENT_SCOPE)
  set(FWU_I386_RUNS ${runs} PARENT_SCOPE)
  set(FWU_I386_SKIP_REASON "${skip_reason}" PARENT_SCOPE)
  set(FWU_WINE32_SKIP_REASON "${wine32_reason}" PARENT_SCOPE)
endfunction()

# A 32-bit host program that ctest starts itself: through the emulator where needed.
function(fwu_i386_program target)
  if(FWU_I386_EMULATOR)
    set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR "${FWU_I386_EMULATOR}")
  endif()
endfunction()

# A case that cannot run here: ctest reports it skipped, and its output says why.
function(fwu_skipped_test name reason)
  cmake_parse_arguments(S "" "" "LABELS" ${ARGN})
  add_test(NAME ${name} COMMAND sh -c "echo \"skipped: $1\"; exit 77" sh "${reason}")
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
  if(S_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${S_LABELS}")
  endif()
endfunction()

# A case that starts this tree's 32-bit programs directly: run, or skipped with the reason.
function(fwu_i386_test name)
  if(FWU_I386_RUNS)
    add_test(NAME ${name} COMMAND ${ARGN})
  else()
    fwu_skipped_test(${name} "${FWU_I386_SKIP_REASON}")
  endif()
endfunction()

# Test properties that make every case of a GoogleTest program end as skipped with the
# reason (the test support reads it before any case runs); none when the reason is empty.
function(fwu_skip_properties out reason)
  set(properties)
  if(reason)
    set(properties ENVIRONMENT "FWU_TEST_SKIP_REASON=${reason}" SKIP_RETURN_CODE 77)
  endif()
  set(${out} ${properties} PARENT_SCOPE)
endfunction()
