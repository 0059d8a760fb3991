# Host libraries that programs of both bitnesses link: one definition, two targets.
#   fwu_dual_library(<name> SOURCES ... [PUBLIC_LINK base names...] [INTERFACE_LINK_OPTIONS ...])
# defines <name>64 and <name>32 (static, -m32 for the second); PUBLIC_LINK names are
# linked by bitness too (winsim -> winsim64 / winsim32).
include_guard(GLOBAL)

function(fwu_dual_library name)
  cmake_parse_arguments(L "" "" "SOURCES;PUBLIC_LINK;PUBLIC_INCLUDE;INTERFACE_LINK_OPTIONS" ${ARGN})
  foreach(bits 64 32)
    set(target ${name}${bits})
    add_library(${target} STATIC ${L_SOURCES})
    fwu_warnings(${target})
    # The stand-in and the simulated machine are optimised in every build: unoptimised, the
    # JSON records of a long run (ten thousand commands) cost most of its time, and many
    # times more under qemu-i386. (-O1: at -O2 GCC 12 warns of impossible bounds inside the
    # standard and JSON headers; at -O1 it still sees "potential null" dereferences inside
    # <streambuf>.) The programs' own code keeps the build's settings.
    target_compile_options(${target} PRIVATE -O1 -Wno-null-dereference)
    target_include_directories(${target} PUBLIC ${L_PUBLIC_INCLUDE})
    target_link_libraries(${target} PUBLIC fwu_winapi_headers nlohmann_json::nlohmann_json)
    foreach(dep ${L_PUBLIC_LINK})
      target_link_libraries(${target} PUBLIC ${dep}${bits})
    endforeach()
    if(bits EQUAL 32)
      target_compile_options(${target} PUBLIC -m32)
      target_link_options(${target} PUBLIC -m32)
      # Files of 2 GiB and more open and report their size in 32-bit programs too, as on Windows.
      target_compile_definitions(${target} PRIVATE _FILE_OFFSET_BITS=64)
    endif()
    if(L_INTERFACE_LINK_OPTIONS)
      target_link_options(${target} INTERFACE ${L_INTERFACE_LINK_OPTIONS})
    endif()
  endforeach()
endfunction()
