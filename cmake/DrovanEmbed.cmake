# drovan_embed_resource(<target> <kind> <id> <file>): compiles a picture file into the
# program as a registered resource (kind BITMAP or ICON), for the homes whose resources
# are not linked by a resource compiler. The source is written by the host tool
# drovan-embed (tools/embed) at build time. Windows builds carry their pictures in the
# resource script, so there this does nothing.
function(drovan_embed_resource target kind id file)
  if(WIN32)
    return()
  endif()
  if(CMAKE_CROSSCOMPILING)
    message(FATAL_ERROR "drovan_embed_resource: drovan-embed must run on the build machine; "
                        "a cross build for ${CMAKE_SYSTEM_NAME} has no way to embed ${file}")
  endif()
  get_filename_component(name ${file} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/embedded_${name}_${id}.cpp)
  add_custom_command(
    OUTPUT ${out}
    COMMAND drovan-embed ${kind} ${id} ${name} ${file} ${out}
    DEPENDS ${file} drovan-embed
    COMMENT "Embedding ${file} as ${kind} ${id}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()
