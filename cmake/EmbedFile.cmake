# qel_embed_file(INPUT OUTPUT SYMBOL): writes a C++ source defining
#   extern const unsigned char SYMBOL[]; extern const unsigned long SYMBOL_size;
# with the bytes of INPUT, regenerated when INPUT changes.
function(qel_embed_file input output symbol)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
  file(READ ${input} hex HEX)
  string(LENGTH "${hex}" length)
  math(EXPR size "${length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
  file(CONFIGURE OUTPUT ${output} CONTENT "// Generated from ${input}.\nextern const unsigned char ${symbol}[] = {\n${bytes}\n};\nextern const unsigned long ${symbol}_size = ${size};\n")
endfunction()
