# drovan_embed_resource(<target> <kind> <id> <file>): compiles a picture file into the
# program as a registered resource (kind BITMAP or ICON), for the homes whose resources
# are not linked by a resource compiler.
function(drovan_embed_resource target kind id file)
  get_filename_component(name ${file} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/embedded_${name}_${id}.cpp)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DIN=${file} -DOUT=${out} -DKIND=${kind} -DID=${id} -DNAME=${name}
            -P ${PROJECT_SOURCE_DIR}/cmake/DrovanEmbedFile.cmake
    DEPENDS ${file} ${PROJECT_SOURCE_DIR}/cmake/DrovanEmbedFile.cmake
    COMMENT "Embedding ${file} as ${kind} ${id}")
  target_sources(${target} PRIVATE ${out})
endfunction()
