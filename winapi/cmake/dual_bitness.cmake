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
