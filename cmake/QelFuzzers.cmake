# libFuzzer builds: clang only; every target gets coverage instrumentation and the sanitizers,
# the fuzz targets link the libFuzzer driver (tests/fuzz).
if(QEL_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "QEL_BUILD_FUZZERS needs clang (configure with CXX=clang++ CC=clang)")
  endif()
  set(_qel_fuzz -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                -fno-sanitize-recover=undefined)
  add_compile_options(${_qel_fuzz})
  add_link_options(-fsanitize=address,undefined)
endif()
