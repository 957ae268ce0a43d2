# Compile options for the project's own code. Dependencies come in as imported
# targets, whose include folders are system folders, so their warnings never
# reach -Werror.

add_library(tl_options INTERFACE)
target_compile_options(tl_options INTERFACE
  -Wall -Wextra -Werror -Wno-unused-parameter
  # The fuzz targets are built by clang, which names GCC's local shadowing so.
  $<IF:$<CXX_COMPILER_ID:Clang>,-Wshadow-uncaptured-local,-Wshadow=local>
  # Results must match the stated arithmetic: no fused multiply-adds, no fast-math.
  -ffp-contract=off -fno-fast-math
  # Hardware faults are turned into C++ exceptions inside guarded calls.
  -fnon-call-exceptions)
target_include_directories(tl_options INTERFACE ${PROJECT_SOURCE_DIR})

if(TL_SANITIZE)
  target_compile_options(tl_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(tl_options INTERFACE -fsanitize=address,undefined)
endif()

# Servers export exactly their four entry points.
function(tl_server_visibility target)
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
endfunction()
