# Warnings for the project's own targets; FWU_WERROR turns them into errors (CI sets it).
option(FWU_WERROR "Treat warnings as errors" ON)

function(fwu_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion -Wcast-align -Wnon-virtual-dtor
                                           -Wold-style-cast -Woverloaded-virtual -Wnull-dereference)
  if(FWU_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
