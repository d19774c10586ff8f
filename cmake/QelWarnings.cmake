# Warnings as errors for every target of the project.
add_compile_options(-Wall -Wextra -Werror -Wshadow
                    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)
