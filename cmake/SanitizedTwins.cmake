# The suite under the address and undefined-behaviour sanitizers, in the same tree as the normal build.
# With BREVANT_SANITIZE, each library gets a twin, <name>_sanitized, compiled from the same sources with both
# sanitizers, and each test program is linked a second time against the twins from the same test objects
# (tests/CMakeLists.txt): the product's code is checked without compiling the tests twice. The programs
# and the libraries themselves stay as a normal build makes them.
option(BREVANT_SANITIZE "Also build the libraries and the test programs with address and undefined-behaviour sanitizers" OFF)
set(BREVANT_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)

# brevant_sanitized_twin(<library> <optimisation>): the twin, built at <optimisation>, linked against the
# twins of the libraries it links. -Og costs about what -O0 costs to compile and runs the suite several times
# faster; the batch tool's option parser compiles a third faster at -O0.
# Call it in the library's own folder, so the folder's source-file properties apply to the twin too.
function(brevant_sanitized_twin target optimisation)
  if(NOT BREVANT_SANITIZE)
    return()
  endif()
  set(twin ${target}_sanitized)
  get_target_property(sources ${target} SOURCES)
  add_library(${twin} STATIC ${sources})
  foreach(property INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES COMPILE_DEFINITIONS
                   INTERFACE_COMPILE_DEFINITIONS COMPILE_OPTIONS AUTOMOC AUTOUIC AUTORCC LINKER_LANGUAGE)
    get_target_property(value ${target} ${property})
    if(NOT value STREQUAL "value-NOTFOUND")
      set_property(TARGET ${twin} PROPERTY ${property} "${value}")
    endif()
  endforeach()
  get_target_property(links ${target} LINK_LIBRARIES)
  if(links)
    list(TRANSFORM links REPLACE "^(brevant_[a-z_]+)$" "\\1_sanitized")
    target_link_libraries(${twin} PUBLIC ${links})
  endif()
  # Every twin is a unity: it is compiled for the suite only, where fewer, larger compiles cost least.
  set_target_properties(${twin} PROPERTIES UNITY_BUILD ON)
  target_compile_options(${twin} PRIVATE ${optimisation} ${BREVANT_SANITIZE_FLAGS})
  target_link_options(${twin} INTERFACE -fsanitize=address,undefined)
endfunction()
