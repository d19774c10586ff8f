# Warnings for every target of the project; as errors only when asked (tools/test.sh and CI do).
option(QEL_WERROR "Treat compiler warnings as errors" OFF)
add_compile_options(-Wall -Wextra -Wshadow $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)
if(QEL_WERROR)
  add_compile_options(-Werror)
endif()
