# Helpers that keep every folder one library whose includes follow the layering rules.

# tolvaner_layer(NAME SOURCES... [DEPENDS layer...])
# Declares the library of one folder. Every layer sees the source root as its include root;
# the rules of which folder may include which are checked by the `layering` test.
function(tolvaner_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;DEPENDS")
  add_library(tolvaner_${name} ${arg_SOURCES})
  add_library(tolvaner::${name} ALIAS tolvaner_${name})
  target_include_directories(tolvaner_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  foreach(dep IN LISTS arg_DEPENDS)
    target_link_libraries(tolvaner_${name} PUBLIC tolvaner::${dep})
  endforeach()
endfunction()
