# AddressSanitizer + UndefinedBehaviorSanitizer for the whole tree.
if(QEL_SANITIZE)
  set(_qel_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_options(${_qel_san})
  add_link_options(${_qel_san})
endif()
