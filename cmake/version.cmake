# The version as the program shows it, derived from project(VERSION) in the top CMakeLists.txt:
# version 1.04 gives FileVersion "1.04", the numeric version 1,4,0,0 and the product name
# "DERi1.4", which the version record and the About text carry.
math(EXPR TAV_VERSION_MINOR_VALUE "${PROJECT_VERSION_MINOR}")
set(TAV_PRODUCT_NAME "DERi${PROJECT_VERSION_MAJOR}.${TAV_VERSION_MINOR_VALUE}")

set(TAV_VERSION_DIR ${PROJECT_BINARY_DIR}/version)
configure_file(${CMAKE_CURRENT_LIST_DIR}/tav_version.h.in ${TAV_VERSION_DIR}/tav_version.h @ONLY)
# For scripts/release, which names the packages after the version.
file(CONFIGURE OUTPUT ${TAV_VERSION_DIR}/version.txt CONTENT "${PROJECT_VERSION}\n")

# C++ sources see the product name as the narrow string literal TAV_PRODUCT_NAME.
add_compile_definitions($<$<COMPILE_LANGUAGE:CXX>:TAV_PRODUCT_NAME="${TAV_PRODUCT_NAME}">)

# tav_add_version(TARGET): the target's resources include tav_version.h.
function(tav_add_version target)
  target_include_directories(${target} PRIVATE ${TAV_VERSION_DIR})
  # windres reports no header dependencies of its own.
  set_property(SOURCE ${PROJECT_SOURCE_DIR}/res/tav.rc DIRECTORY ${PROJECT_SOURCE_DIR}/ui
    APPEND PROPERTY OBJECT_DEPENDS ${TAV_VERSION_DIR}/tav_version.h)
endfunction()
