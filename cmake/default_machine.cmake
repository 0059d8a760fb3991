# The simulated machine's built-in description is examples/default-machine.json itself:
# embedded as text at build time and parsed by winsim as a WINSIM_MACHINE file is, so the
# example and the default cannot drift apart.
#   fwu_default_machine(<target>)   adds the generated source to <target>
# Run with -P (INPUT, OUTPUT), this file writes that source.
if(CMAKE_SCRIPT_MODE_FILE)
  file(READ ${INPUT} text)
  string(FIND "${text}" ")json\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${INPUT} holds the raw string's closing delimiter")
  endif()
  file(WRITE ${OUTPUT}.tmp
       "// Generated from examples/default-machine.json; edit that file.\n"
       "namespace winsim {\n"
       "extern const char default_machine_text[];\n"
       "const char default_machine_text[] = R\"json(${text})json\";\n"
       "} // namespace winsim\n")
  file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
  file(REMOVE ${OUTPUT}.tmp)
  return()
endif()

include_guard(GLOBAL)

function(fwu_default_machine target)
  set(input ${PROJECT_SOURCE_DIR}/examples/default-machine.json)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/default_machine_text.cpp)
  # One rule per folder, however many targets of that folder take the source.
  get_property(defined DIRECTORY PROPERTY fwu_default_machine_rule)
  if(NOT defined)
    set_property(DIRECTORY PROPERTY fwu_default_machine_rule TRUE)
    add_custom_command(
      OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
      DEPENDS ${input} ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
      COMMENT "Embedding examples/default-machine.json"
      VERBATIM)
  endif()
  target_sources(${target} PRIVATE ${output})
endfunction()
