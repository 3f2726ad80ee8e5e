# The version as the program shows it, derived from project(VERSION) in the top CMakeLists.txt:
# version 1.04 gives FileVersion "1.04", the numeric version 1,4,0,0 and the product name
# "DERi1.4", which the version record and the About text carry.
math(EXPR TAV_VERSION_MINOR_VALUE "${PROJECT_VERSION_MINOR}")
set(TAV_PRODUCT_NAME "DERi${PROJECT_VERSION_MAJOR}.${TAV_VERSION_MINOR_VALUE}")

set(TAV_VERSION_DIR ${PROJECT_BINARY_DIR}/version)
configure_file(${CMAKE_CURRENT_LIST_DIR}/tav_version.h.in ${TAV_VERSION_DIR}/tav_version.h @ONLY)
# For scripts/release, which names the packages after the version.
file(CONFIGURE OUTPUT ${TAV_VERSION_DIR}/version.txt CONTENT "${PROJECT_VERSION}\n")

# C++ sources see the product name as the narrow string literal TAV_PRODUCT_NAME, and every
# target that compiles res/tav.rc (TAV.exe, the bench's floor) finds tav_version.h.
add_compile_definitions($<$<COMPILE_LANGUAGE:CXX>:TAV_PRODUCT_NAME="${TAV_PRODUCT_NAME}">)
include_directories(${TAV_VERSION_DIR})

# tav_track_version_header(): call once every folder is added. windres reports no header
# dependencies of its own, so the resources of every folder depend on tav_version.h by name.
function(tav_track_version_header)
  get_property(folders DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTY SUBDIRECTORIES)
  set_property(SOURCE ${PROJECT_SOURCE_DIR}/res/tav.rc DIRECTORY ${folders}
    APPEND PROPERTY OBJECT_DEPENDS ${TAV_VERSION_DIR}/tav_version.h)
endfunction()
