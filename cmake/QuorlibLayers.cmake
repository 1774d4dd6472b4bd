# The library's subsystems are layers, each compiled as an object library of its own and linked
# into the one module Quorlib.dlz:
#
#   frame                               the bottom: module, registry, core utilities
#   data   persist   imaging            the parameter tree; the chunk stream, settings files and
#                                       the file dialog; pixels, colour and the evaluation cache
#   view                                above data and persist (dialogs save and swap what they edit)
#   imagesel                            the image file selection dialog: uses view and imaging
#   filter   gradient                   on top: use view, persist and imaging (gradient: imagesel)
#
# A layer compiles with the host SDK, its own folder and the folders of the layers it USES (and of
# theirs) on the include path, and nothing else, so a file that includes a header of a higher
# layer, or of a layer beside it, does not compile. The umbrella header Quorlib.h (api/) belongs
# to no layer: it is for plug-ins, tests and tools.

# quorlib_layer(name [USES lower...] SOURCES file... [HEADERS file...])
# Adds the object library quorlib_<name> from the calling folder's SOURCES, links its objects
# into Quorlib, and puts its public HEADERS into Quorlib's installed header set.
function(quorlib_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "USES;SOURCES;HEADERS")
  set(target quorlib_${name})
  add_library(${target} OBJECT ${arg_SOURCES})
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(${target} PRIVATE QUORLIB_BUILD)
  target_link_libraries(${target} PUBLIC VantorHost)
  foreach(lower IN LISTS arg_USES)
    target_link_libraries(${target} PUBLIC quorlib_${lower})
  endforeach()
  quorlib_warnings(${target})
  target_link_libraries(Quorlib PRIVATE ${target})
  if(arg_HEADERS)
    target_sources(Quorlib PUBLIC FILE_SET HEADERS BASE_DIRS ${CMAKE_CURRENT_SOURCE_DIR} FILES ${arg_HEADERS})
  endif()
endfunction()
