# zv_embed_text(target symbol file): compiles the bytes of `file` into `target` as
# `extern const char symbol[]; extern const unsigned long symbol_size;`
function(zv_embed_text target symbol file)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/embedded_${symbol}.cpp)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DIN=${file} -DOUT=${out} -DSYMBOL=${symbol} -P ${CMAKE_SOURCE_DIR}/cmake/EmbedScript.cmake
    DEPENDS ${file} ${CMAKE_SOURCE_DIR}/cmake/EmbedScript.cmake
    COMMENT "Embedding ${file}")
  target_sources(${target} PRIVATE ${out})
endfunction()
