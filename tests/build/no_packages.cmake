# Included by every project() of a configuration that must ask for no package: any
# search for one fails it, naming what was asked for.
foreach(search IN ITEMS find_package pkg_check_modules pkg_search_module find_library find_path)
  cmake_language(EVAL CODE "
    function(${search})
      message(FATAL_ERROR \"the module alone asks for nothing, yet ${search}(\${ARGV}) ran\")
    endfunction()")
endforeach()
