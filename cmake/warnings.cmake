# Every target of the project compiles with these warnings; QZ_WERROR (on in scripts/test, off for
# a plain configure, as distributions build) makes them errors.
if(QZ_WERROR)
  add_compile_options(-Werror)
endif()
add_compile_options(
  -Wall -Wextra -Wpedantic
  -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wunused
  -Woverloaded-virtual -Wconversion -Wsign-conversion -Wnull-dereference
  -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-Wmisleading-indentation -Wduplicated-cond -Wlogical-op)
  # g++ 12 at -O2 reports copies into std::vector inside its own headers as out of bounds
  # (GCC bugs 105329, 105651, 107138); the sanitizer build checks real bounds instead.
  if(CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    add_compile_options(-Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread)
  endif()
endif()
# Chinese control names are identifiers; g++ and clang accept UTF-8 identifiers.
if(QZ_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(QZ_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
# The fuzz targets: every library instrumented for coverage and checked for memory errors and
# undefined behaviour; only the targets themselves link the fuzzing engine (fuzz/).
if(QZ_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "QZ_FUZZ needs clang (for example -DCMAKE_CXX_COMPILER=clang++-14)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
