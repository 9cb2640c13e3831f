# An imported target for a header-only library installed by a Debian package of the
# build machine, for a cross build. Only the library's own header folder is made
# visible, through a link in the build tree: adding /usr/include itself would put the
# build machine's C library headers in front of the target's.
function(dorna_header_only_target target folder)
  if(TARGET ${target})
    return()
  endif()
  set(source /usr/include/${folder})
  if(NOT IS_DIRECTORY ${source})
    message(FATAL_ERROR "${target}: ${source} is missing (run scripts/install-deps)")
  endif()
  set(staged ${CMAKE_BINARY_DIR}/header-only/include)
  file(MAKE_DIRECTORY ${staged})
  if(NOT EXISTS ${staged}/${folder})
    file(CREATE_LINK ${source} ${staged}/${folder} SYMBOLIC)
  endif()
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${staged})
endfunction()
